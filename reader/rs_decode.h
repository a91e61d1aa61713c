// Internal pieces of the Reed-Solomon decoder, open to the tests.
#pragma once
#include <cstdint>

#include "qrcore/qr_standard.h"

namespace qrread {

constexpr int kMaxParity = 30;  // the most EC codewords of any QR block

// Finds the distinct roots of poly[0] + poly[1] x + ... + poly[degree] x^degree
// (poly[degree] != 0, degree 1..kMaxParity/2) that are inverses of alpha^e for
// e in 0..n-1, and stores those exponents e in `exponents` (room for `degree`).
// Degrees 1 to 4 are solved in closed form, higher ones by trying every e.
// Returns the number of roots found (at most `degree`).
int RsLocatorRoots(const qrstd::Gf256& gf, const uint8_t* poly, int degree, int n,
                   int* exponents);

// The same by trying every exponent; the reference for the closed forms.
int RsLocatorRootsBySearch(const qrstd::Gf256& gf, const uint8_t* poly, int degree, int n,
                           int* exponents);

}  // namespace qrread
