// Affine and projective maps between a code's domain and the image, in fixed
// point. Image positions are in quarter pixels throughout.
#pragma once
#include <cstdint>

namespace qrread {

// Affine map fixed by three finder centres: UL at domain (0, 0), UR at
// (2^bits, 0), DL at (0, 2^bits).
struct AffineMap {
  int32_t x0, y0;       // UL centre
  int32_t du[2];        // UR - UL
  int32_t dv[2];        // DL - UL
  int64_t det;          // du x dv
  int32_t bits;
};

// Domain precision for an image: 28 - L, L the significant bits of
// max(width, height) - 1 (17 for 1280 x 1024).
int AffineBits(int width, int height);

// Returns -1 when the three points are collinear, else 0.
int AffineInit(AffineMap* map, const int32_t ul[2], const int32_t ur[2],
               const int32_t dl[2], int bits);
// Domain (u, v) to image, rounded.
void AffineProject(const AffineMap& map, int64_t u, int64_t v, int32_t out[2]);
// Image (x, y) to domain, rounded and clamped to +-2^29.
void AffineUnproject(const AffineMap& map, int32_t x, int32_t y, int32_t out[2]);

// A projective map from a source plane to the image and back, as 3 x 3
// integer matrices on homogeneous coordinates, scaled so that every entry
// stays below 2^60 in magnitude.
struct ProjMap {
  int64_t fwd[3][3];
  int64_t inv[3][3];
};

// Side bits of the homography's square domain: corner module centres map to
// (0, 0), (2^14, 0), (0, 2^14), (2^14, 2^14).
constexpr int kHomographyBits = 14;

// Map from the square [0, 2^bits]^2 onto `quad` (corners in the order
// (0,0), (1,0), (0,1), (1,1)). Returns -1 for a degenerate quadrilateral.
int ProjMapFromSquare(ProjMap* map, int bits, const int32_t quad[4][2]);

// Map sending src[k] to dst[k] for k = 0..3 (same corner order). Returns -1
// when either quadrilateral is degenerate.
int ProjMapFromQuads(ProjMap* map, const int32_t src[4][2], const int32_t dst[4][2]);

// Forward projection, rounded. Returns -1 (and a far-away point) when the
// position lies on or beyond the map's horizon.
int ProjMapProject(const ProjMap& map, int32_t u, int32_t v, int32_t out[2]);

// ProjMapProject of (u0 + k du, v) into out[k], k = 0 .. count - 1: the
// homogeneous coordinates advance by additions along the row.
void ProjMapProjectRow(const ProjMap& map, int32_t u0, int32_t du, int32_t v, int32_t count,
                       int32_t (*out)[2]);
// Inverse projection, rounded; -1 on or beyond the horizon.
int ProjMapUnproject(const ProjMap& map, int32_t x, int32_t y, int32_t out[2]);

// The image of module centre (N-1, N-1) from the images of (0, 0), (N-1, 0),
// (0, N-1) and the alignment centre at (N-7, N-7) for a side of n modules
// (n >= 14), by projective extrapolation. Returns -1 when the configuration
// has no finite answer.
int ExtrapolateCorner(const int32_t p0[2], const int32_t p1[2], const int32_t p2[2],
                      const int32_t align[2], int n, int32_t out[2]);

// Rounded a / b for b != 0 (halves away from zero).
int64_t DivRound(int64_t a, int64_t b);

}  // namespace qrread
