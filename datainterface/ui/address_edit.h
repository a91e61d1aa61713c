// An IPv4 address input of four 0..255 fields.
#pragma once
#include <QWidget>
#include <array>
#include <cstdint>

class QLineEdit;

class AddressEdit : public QWidget {
  Q_OBJECT
 public:
  explicit AddressEdit(QWidget* parent = nullptr);

  // The address as a 32-bit number, first field in the top byte. Blank fields
  // count as 0, so an empty control gives 0; a field above 255 counts as 255.
  uint32_t address() const;
  // Shows `address` in the four fields.
  void setAddress(uint32_t address);
  // Empties the four fields.
  void clear();
  // Field 0..3 (tests type into them).
  QLineEdit* field(int index) const { return fields_[static_cast<size_t>(index)]; }

  // Dotted text -> 32-bit address; text that is not a dotted IPv4 address
  // (only the first 16 bytes are looked at) gives 255.255.255.255.
  static uint32_t parse(const char* dotted);
  // 32-bit address -> dotted text.
  static QString format(uint32_t address);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void onEdited(int index);
  void moveTo(int index);
  std::array<QLineEdit*, 4> fields_{};
  // The field a third digit just moved to, until the next key or focus change:
  // a '.' typed there ends the part already ended, so it does not move again.
  int advancedTo_ = -1;
};
