// Placeholder; the sender is built with the data interface.
