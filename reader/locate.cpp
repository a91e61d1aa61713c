// The locating driver: the search over triples of finder centres and, for
// one triple, the configuration test with its rotations and the
// re-thresholding retry.
#include "reader/locate.h"

#include "reader/binarize.h"
#include "reader/decode_stages.h"
#include "reader/edge_walk.h"
#include "reader/finder_role.h"
#include "reader/homography.h"
#include "reader/line_fit.h"
#include "reader/locate_scratch.h"
#include "reader/sampling.h"

namespace qrread {

namespace {

constexpr int kMinFailureBudget = 8192;
constexpr int kRetryAttempts = 4;
constexpr int kVersionSlack = 3;
constexpr int kMaxRetriedTriples = 16;  // per call, for each kind of retry
// Real pictures are read within a few probes per pixel, a million at most;
// junk of 100 x 100 pixels took over 100 million.
constexpr int64_t kMinWorkBudget = int64_t(1) << 20;
constexpr int64_t kWorkPerPixel = 32;
constexpr int32_t kFree = 0, kMarked = 1, kInside = 2;

enum class Outcome {
  kDecoded,
  kRejected,       // affine stage
  kApart,          // affine stage: only the version estimates disagree
  kFitFailed,
  kVersionFailed,
  kFormatFailed,
  kEcFailed,
  kParseFailed,
};

struct Rotation {
  FinderRole roles[3];  // UL, UR, DL
  AffineMap aff;
  OutlineFit fit;
  int32_t outline[4][2];  // latest known outline, quarter pixels
  bool hasOutline;
  bool wide;              // perspective retry: wider version slack
  bool mirrored;          // the code's rows run along u: roles[1] is its lower-left finder
  int version, last, format;  // as read, once the rotation reached sampling
};

int Abs(int a) { return a < 0 ? -a : a; }

int64_t Cross(const int32_t a[2], const int32_t b[2], const int32_t c[2]) {
  return (int64_t(b[0]) - a[0]) * (int64_t(c[1]) - a[1]) -
         (int64_t(b[1]) - a[1]) * (int64_t(c[0]) - a[0]);
}

int64_t Dist2(const int32_t a[2], const int32_t b[2]) {
  int64_t dx = int64_t(a[0]) - b[0], dy = int64_t(a[1]) - b[1];
  return dx * dx + dy * dy;
}

// Places the three finders in the affine domain and checks that their module
// size and version estimates agree (within VersionSlack). Returns 0, -1, or
// -2 when only the agreement failed.
int AffineStage(const LocateContext& ctx, Rotation* rot) {
  FinderRole& ul = rot->roles[0];
  FinderRole& ur = rot->roles[1];
  FinderRole& dl = rot->roles[2];
  int bits = AffineBits(ctx.width, ctx.height);
  if (AffineInit(&rot->aff, ul.centre->pos, ur.centre->pos, dl.centre->pos, bits) < 0) return -1;
  DomainMap map{&rot->aff, nullptr};
  int32_t side = int32_t(1) << bits;
  FinderRole* order[3] = {&ur, &dl, &ul};
  int rc = 0;
  for (FinderRole* f : order) {
    PlaceFinder(f, map);
    int e = EstimateModuleSize(f, side, side, rot->wide);
    if (e == -1) return -1;
    if (e < 0) rc = -2;
  }
  auto apart = [&](int a, int b) { return Abs(a - b) > VersionSlack(a, b, rot->wide); };
  if (apart(ur.eversion[1], dl.eversion[0]) || apart(ul.eversion[1], ur.eversion[1]) ||
      apart(ul.eversion[0], dl.eversion[0])) {
    rc = -2;
  }
  return rc;
}

// Re-estimates the finders in the homography's domain and settles the
// version: from the estimates for small codes, else from the version
// information blocks, else (capped) from the estimates again. Returns 1..40
// or -1; versions up to *last (when above the result) are candidates too.
int VersionStage(LocateContext* ctx, const BinaryImage& im, Rotation* rot, int* last) {
  FinderRole& ul = rot->roles[0];
  FinderRole& ur = rot->roles[1];
  FinderRole& dl = rot->roles[2];
  const ProjMap& hom = rot->fit.hom;
  DomainMap map{nullptr, &hom};
  for (FinderRole& f : rot->roles) ToDomain(map, f.centre->pos[0], f.centre->pos[1], f.o);
  ClassifyEdges(&ur, map);
  ClassifyEdges(&dl, map);
  int32_t widthU = ur.o[0] - ul.o[0];
  if (EstimateModuleSize(&ur, widthU, widthU) < 0) return -1;
  int32_t widthV = dl.o[1] - ul.o[1];
  if (EstimateModuleSize(&dl, widthV, widthV) < 0) return -1;
  int urVersion = ur.eversion[1], dlVersion = dl.eversion[0];
  int version;
  if (urVersion == dlVersion && urVersion < 7) {
    version = urVersion;
  } else {
    if (Abs(urVersion - dlVersion) > kVersionSlack) return -1;
    int urRead = -1, dlRead = -1;
    // A mirrored code's upper-right block lies next to roles[2], along v.
    const int m = rot->mirrored ? 1 : 0;
    if (urVersion >= 7 - kVersionSlack) {
      urRead = ReadVersionInfo(rot->roles[1 + m], hom, im, m);
      if (urRead >= 0 && Abs(urRead - urVersion) > kVersionSlack) urRead = -1;
    }
    if (dlVersion >= 7 - kVersionSlack) {
      dlRead = ReadVersionInfo(rot->roles[2 - m], hom, im, 1 - m);
      if (dlRead >= 0 && Abs(dlRead - dlVersion) > kVersionSlack) dlRead = -1;
    }
    if (urRead >= 0 && dlRead >= 0 && urRead != dlRead) return -1;
    version = urRead >= 0 ? urRead : dlRead;
    // No version read: try what the finders estimate, when they agree or
    // (below version 7, which has no version blocks) every version between
    // their estimates. Error correction still has to accept it; a few times
    // per picture.
    const int lo = urVersion < dlVersion ? urVersion : dlVersion;
    const int hi = urVersion < dlVersion ? dlVersion : urVersion;
    if (version < 0 && (lo == hi || hi < 7) && hi <= 40 &&
        ctx->estimatedVersions < kMaxRetriedTriples) {
      ctx->estimatedVersions++;
      version = lo;
      *last = hi;
    }
    if (version < 0) return -1;
  }
  ClassifyEdges(&ul, map);
  if (EstimateModuleSize(&ul, ur.o[0] - ul.o[0], dl.o[1] - ul.o[1]) < 0) return -1;
  if (Abs(ul.eversion[1] - ur.eversion[1]) > 1 || Abs(ul.eversion[0] - dl.eversion[0]) > 1) {
    return -1;
  }
  return version;
}

bool BudgetSpent(const LocateContext& ctx) {
  return ctx.scratch->probes > WorkBudget(ctx.width, ctx.height);
}

// One rotation from the affine stage to the decode.
Outcome RunRotation(LocateContext* ctx, Rotation* rot, CodeData* code) {
  if (BudgetSpent(*ctx)) return Outcome::kRejected;
  // Both stages below place every edge point of the three finders.
  for (const FinderRole& f : rot->roles) ctx->scratch->probes += 2 * int64_t(f.centre->nedgePts);
  BinaryImage im{ctx->binary, ctx->width, ctx->height, ctx->lazy};
  int affine = AffineStage(*ctx, rot);
  if (affine < 0) return affine == -2 ? Outcome::kApart : Outcome::kRejected;
  if (FitHomography(&rot->roles[0], &rot->roles[1], &rot->roles[2], rot->aff, im, ctx->rng,
                    ctx->scratch, &rot->fit) < 0) {
    return Outcome::kFitFailed;
  }
  for (int k = 0; k < 4; k++) {
    rot->outline[k][0] = rot->fit.corners[k][0];
    rot->outline[k][1] = rot->fit.corners[k][1];
  }
  rot->hasOutline = true;
  int last = -1;
  int version = VersionStage(ctx, im, rot, &last);
  if (version < 0) return Outcome::kVersionFailed;
  const int m = rot->mirrored ? 1 : 0;
  int format = ReadFormatInfo(rot->roles[0], rot->roles[1 + m], rot->roles[2 - m], rot->fit.hom,
                              im, rot->mirrored);
  if (format < 0) return Outcome::kFormatFailed;
  rot->version = version;
  rot->last = last;
  rot->format = format;
  const int32_t finders[3][2] = {
      {rot->roles[0].centre->pos[0], rot->roles[0].centre->pos[1]},
      {rot->roles[1].centre->pos[0], rot->roles[1].centre->pos[1]},
      {rot->roles[2].centre->pos[0], rot->roles[2].centre->pos[1]}};
  for (const int first = version; version == first || version <= last; version++) {
    if (SampleCode(version, finders, rot->fit.corners, im, ctx->scratch, rot->outline) < 0) {
      return Outcome::kEcFailed;
    }
    if (rot->mirrored) {
      TransposeSamples(qrstd::SymbolSize(version), ctx->scratch->samples,
                       ctx->scratch->functionMask);
    }
    for (int k = 0; k < 4; k++) {
      // The code's own upper-right corner is the domain's (0, 1) when mirrored.
      const int from = rot->mirrored && (k == 1 || k == 2) ? 3 - k : k;
      code->corners[k][0] = rot->outline[from][0];
      code->corners[k][1] = rot->outline[from][1];
    }
    int rc = DecodeSampledCode(code, ctx->pools, *ctx->gf, version, format,
                               ctx->scratch->samples, ctx->scratch->codewords);
    if (rc == 0) return Outcome::kDecoded;
    if (rc == -2) return Outcome::kParseFailed;
  }
  return Outcome::kEcFailed;
}

void StartRetry(const LocateContext& ctx, const Rotation& rot, RethresholdState* state) {
  int32_t x0 = rot.outline[0][0], x1 = x0, y0 = rot.outline[0][1], y1 = y0;
  for (int k = 1; k < 4; k++) {
    if (rot.outline[k][0] < x0) x0 = rot.outline[k][0];
    if (rot.outline[k][0] > x1) x1 = rot.outline[k][0];
    if (rot.outline[k][1] < y0) y0 = rot.outline[k][1];
    if (rot.outline[k][1] > y1) y1 = rot.outline[k][1];
  }
  auto clamp = [](int32_t v, int32_t hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
  RethresholdInit(state, clamp(x0 >> 2, ctx.width), clamp((x1 >> 2) + 1, ctx.width),
                  clamp(y0 >> 2, ctx.height), clamp((y1 >> 2) + 1, ctx.height));
  state->invert = ctx.invert;
}

// Attempts on the code's box binarised with a window of about six modules:
// at 2-3 pixels per module on texture the image-wide window leaves too many
// wrong modules. Returns 1 decoded, -2 unparseable, 0 nothing.
int LocalWindowAttempt(LocateContext* ctx, Rotation* rot, const RethresholdState& box,
                       CodeData* code, Rotation* reached, bool* haveReached) {
  if (ctx->localTriples >= kMaxRetriedTriples) return 0;
  ctx->localTriples++;
  const int32_t n = 17 + 4 * rot->roles[1].eversion[0];
  const int64_t d2 = Dist2(rot->roles[0].centre->pos, rot->roles[1].centre->pos);
  const int32_t module4 = static_cast<int32_t>(Isqrt64(static_cast<uint64_t>(d2))) / (n - 7);
  const int32_t half = module4 * 3 / 4 > 2 ? module4 * 3 / 4 : 2;
  // Then once more from a smoothed copy of the box: noise and JPEG blocks.
  for (int smooth = 0; smooth < 2; smooth++) {
    // The box is rewritten whole, over the rows made; the column sums are
    // borrowed.
    LazyBinaryEnsure(ctx->lazy, box.y0, box.y1);
    BinarizeBox(ctx->grey, ctx->width, ctx->height, ctx->binary, box.x0, box.x1, box.y0, box.y1,
                half, ctx->invert, ctx->columnSums, smooth != 0);
    if (ctx->lazy != nullptr) ctx->lazy->nextRow = -1;
    Outcome out = RunRotation(ctx, rot, code);
    if (out == Outcome::kDecoded) return 1;
    if (out == Outcome::kParseFailed) return -2;
    if (out == Outcome::kEcFailed && !*haveReached) {
      *reached = *rot;
      *haveReached = true;
    }
    if (out == Outcome::kFitFailed || out == Outcome::kRejected || out == Outcome::kApart) break;
  }
  return 0;
}

// The last resort for a rotation whose geometry, version and format held but
// whose error correction failed on every binarisation: heavy blur merges
// single light modules into their dark neighbours at any pixel threshold.
// Decides each module from the greys at the module centres instead, plain
// and with the blur partly undone, on the grid and shifted slightly.
// Returns 1 decoded, -2 unparseable, 0.
int GreyModuleAttempt(LocateContext* ctx, Rotation* rot, CodeData* code) {
  if (ctx->greyTriples >= kMaxRetriedTriples) return 0;
  ctx->greyTriples++;
  BinaryImage im{ctx->binary, ctx->width, ctx->height, ctx->lazy};
  // The walked edges are done with once the homography is fitted.
  uint8_t* greys = reinterpret_cast<uint8_t*>(ctx->scratch->rightEdge);
  const int32_t finders[3][2] = {
      {rot->roles[0].centre->pos[0], rot->roles[0].centre->pos[1]},
      {rot->roles[1].centre->pos[0], rot->roles[1].centre->pos[1]},
      {rot->roles[2].centre->pos[0], rot->roles[2].centre->pos[1]}};
  for (int version = rot->version; version == rot->version || version <= rot->last; version++) {
    const int n = qrstd::SymbolSize(version);
    if (sizeof(ctx->scratch->rightEdge) < static_cast<unsigned>((n + 2) * (n + 2))) return 0;
    // The fit of blurred finders may sit off by a fraction of a module: the
    // grid as fitted first, then shifted a quarter module each way.
    static constexpr int kShifts[9][2] = {{0, 0},   {-1, 0}, {1, 0},  {0, -1}, {0, 1},
                                          {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    SamplingGrid grid;
    if (BuildSamplingGrid(version, finders, rot->fit.corners, im, ctx->scratch, rot->outline,
                          &grid) < 0) {
      return 0;
    }
    for (const auto& [du, dv] : kShifts) {
      SampleGreyGrid(grid, im, ctx->grey, ctx->invert, ctx->scratch, greys, du, dv);
      for (int k = 0; k < 4; k++) {
        const int from = rot->mirrored && (k == 1 || k == 2) ? 3 - k : k;
        code->corners[k][0] = rot->outline[from][0];
        code->corners[k][1] = rot->outline[from][1];
      }
      for (int sharpen = 0; sharpen <= 4; sharpen += 2) {
        ThresholdGreyModules(n, greys, sharpen, ctx->scratch->samples);
        if (rot->mirrored) TransposeSamples(n, ctx->scratch->samples, ctx->scratch->functionMask);
        int rc = DecodeSampledCode(code, ctx->pools, *ctx->gf, version, rot->format,
                                   ctx->scratch->samples, ctx->scratch->codewords);
        if (rc == 0) return 1;
        if (rc == -2) return -2;
      }
    }
  }
  return 0;
}

// Up to four re-thresholded attempts on one rotation, then one with a local
// window, then the module-centre greys of the first rotation that reached
// error correction. Returns 1 decoded, -2 data stream unparseable, 0 nothing
// found.
int RetryRotation(LocateContext* ctx, Rotation* rot, RethresholdState* state, CodeData* code,
                  bool reachedEc) {
  if (!rot->hasOutline) return 0;
  Rotation reached;
  bool haveReached = reachedEc;
  if (reachedEc) reached = *rot;
  StartRetry(*ctx, *rot, state);
  int rc = 0;
  for (int attempt = 0; attempt < kRetryAttempts; attempt++) {
    LazyBinaryEnsure(ctx->lazy, state->y0, state->y1);
    if (Rethreshold(ctx->grey, ctx->width, ctx->height, ctx->binary, state) < 0) break;
    Outcome out = RunRotation(ctx, rot, code);
    if (out == Outcome::kDecoded) return 1;
    if (out == Outcome::kParseFailed) return -2;
    if (out == Outcome::kEcFailed && !haveReached) {
      reached = *rot;
      haveReached = true;
    }
    if (out == Outcome::kFitFailed || out == Outcome::kRejected || out == Outcome::kApart) {
      rc = -1;
      break;
    }
  }
  if (rc == 0) {
    rc = LocalWindowAttempt(ctx, rot, *state, code, &reached, &haveReached);
    if (rc != 0) return rc;
  }
  return haveReached ? GreyModuleAttempt(ctx, &reached, code) : 0;
}

// What the rotations of one attempt reached, when none decoded.
constexpr int kReachedApart = 1;    // some rotation failed only on disagreeing versions
constexpr int kReachedFormat = 2;   // some rotation read as far as format or error correction

// The three rotations of one cyclic order, then the re-thresholding retry.
// Returns the decoded version or -1; `reached` tells how far a failure got.
int TryRotations(LocateContext* ctx, FinderCentre* const o[3], int i0, bool wide, bool mirrored,
                 CodeData* code, int* reached) {
  Rotation rots[3];
  Outcome outcomes[3] = {Outcome::kRejected, Outcome::kRejected, Outcome::kRejected};
  int ecRotation = -1;
  bool apart = false, format = false;
  for (int t = 0; t < 3; t++) {
    int i = (i0 + t) % 3;
    Rotation& rot = rots[t];
    rot.hasOutline = false;
    rot.wide = wide;
    rot.mirrored = mirrored;
    for (int r = 0; r < 3; r++) rot.roles[r].centre = o[(i + r) % 3];
    outcomes[t] = RunRotation(ctx, &rot, code);
    if (outcomes[t] == Outcome::kDecoded) return code->version;
    if (outcomes[t] == Outcome::kParseFailed) return -1;
    apart = apart || outcomes[t] == Outcome::kApart;
    format = format || outcomes[t] == Outcome::kFormatFailed || outcomes[t] == Outcome::kEcFailed;
    if (outcomes[t] == Outcome::kEcFailed) {
      ecRotation = t;
      break;
    }
  }
  for (int t = 0; t < 3; t++) {
    bool retry = ecRotation >= 0 ? t == ecRotation : outcomes[t] == Outcome::kFormatFailed;
    if (!retry) continue;
    int rc = RetryRotation(ctx, &rots[t], &ctx->scratch->rethreshold[t], code,
                           outcomes[t] == Outcome::kEcFailed);
    if (rc == 1) return code->version;
    if (rc == -2) return -1;
  }
  *reached = (apart ? kReachedApart : 0) | (format ? kReachedFormat : 0);
  return -1;
}

// Orders a triple counter-clockwise; false for collinear centres. `i0` is
// the one opposite the longest side (the likely upper-left finder).
bool OrderTriple(FinderCentre* c0, FinderCentre* c1, FinderCentre* c2, FinderCentre* o[3],
                 int* i0) {
  int64_t k = Cross(c0->pos, c1->pos, c2->pos);
  if (k == 0) return false;
  o[0] = c0;
  o[1] = k > 0 ? c1 : c2;
  o[2] = k > 0 ? c2 : c1;
  *i0 = 0;
  int64_t best = Dist2(o[1]->pos, o[2]->pos);
  for (int i = 1; i < 3; i++) {
    int64_t d = Dist2(o[(i + 1) % 3]->pos, o[(i + 2) % 3]->pos);
    if (d > best) {
      best = d;
      *i0 = i;
    }
  }
  return true;
}

// A code seen from behind (glass, film) turns the other way: the finder
// after UL in the turn is its lower-left one. Read it transposed, when the
// geometry was sound enough to reach format.
int MirroredTest(LocateContext* ctx, FinderCentre* const o[3], int i0, bool wide, int reached,
                 CodeData* code) {
  if ((reached & kReachedFormat) == 0 || ctx->mirroredTriples >= kMaxRetriedTriples) return -1;
  ctx->mirroredTriples++;
  return TryRotations(ctx, o, i0, wide, true, code, &reached);
}

// The configuration test of one triple. Returns the version of the decoded
// code (filled into `code`), or -1 with `reached` set to how far the failure
// got; when that includes kReachedApart the triple's retries wait for the end
// of the search.
int ConfigurationTest(LocateContext* ctx, FinderCentre* c0, FinderCentre* c1, FinderCentre* c2,
                      CodeData* code, int* reached) {
  FinderCentre* o[3];
  int i0;
  *reached = 0;
  if (!OrderTriple(c0, c1, c2, o, &i0)) return -1;
  int rc = TryRotations(ctx, o, i0, false, false, code, reached);
  if (rc >= 0 || (*reached & kReachedApart) != 0) return rc;
  return MirroredTest(ctx, o, i0, false, *reached, code);
}

// Perspective makes the near finders look larger than the far ones: a few
// triples per picture whose version estimates were apart get a second try
// with a wider slack; then the mirrored one, with the slack it had.
int ApartRetries(LocateContext* ctx, FinderCentre* c0, FinderCentre* c1, FinderCentre* c2,
                 int reached, CodeData* code) {
  FinderCentre* o[3];
  int i0;
  if (!OrderTriple(c0, c1, c2, o, &i0)) return -1;
  bool wide = false;
  if (ctx->wideTriples < kMaxRetriedTriples) {
    ctx->wideTriples++;
    wide = true;
    int rc = TryRotations(ctx, o, i0, true, false, code, &reached);
    if (rc >= 0) return rc;
  }
  return MirroredTest(ctx, o, i0, wide, reached, code);
}

bool InsideOutline(const int32_t corners[4][2], const int32_t p[2]) {
  return Cross(corners[0], corners[1], p) >= 0 && Cross(corners[1], corners[3], p) >= 0 &&
         Cross(corners[3], corners[2], p) >= 0 && Cross(corners[2], corners[0], p) >= 0;
}

// Marks the free centres inside a found code; returns how many there are.
int MarkInside(FinderCentre* centres, int32_t count, const int32_t corners[4][2]) {
  int inside = 0;
  for (int32_t m = 0; m < count; m++) {
    if (centres[m].found == kFree && InsideOutline(corners, centres[m].pos)) {
      centres[m].found = kInside;
      inside++;
    }
  }
  return inside;
}

bool TripleSearch(LocateContext* ctx, FinderCentre* c, int32_t n, int32_t select, bool outer);

// Keeps a decoded code and marks its centres; inside an outer code that
// needed corrections, searches the centres it covers (a code painted over a
// code always costs the outer one corrections; inside a clean code the
// centres are its own modules, not a code). Returns true when the code list
// is full, which ends every search.
bool StoreCode(LocateContext* ctx, FinderCentre* c, int32_t n, FinderCentre* const triple[3],
               CodeData* code, bool outer) {
  if (ctx->codeCount >= kMaxCodes) {
    ReleaseCode(code, ctx->pools);
    return true;
  }
  CodeData* stored = &ctx->codes[ctx->codeCount++];
  *stored = *code;
  for (int t = 0; t < 3; t++) triple[t]->found = kMarked;
  bool full = false;
  if (outer && MarkInside(c, n, stored->corners) >= 3 && stored->corrected > 0) {
    full = TripleSearch(ctx, c, n, kInside, false);
  }
  for (int32_t m = 0; m < n; m++) {
    if (c[m].found == kInside) c[m].found = kMarked;
  }
  for (auto& corner : stored->corners) {
    corner[0] >>= 2;
    corner[1] >>= 2;
  }
  return full;
}

// Triples kept for the retries of apart ones: many more than are retried, as
// most lose their centres to codes read later.
constexpr int kMaxApartTriples = 16 * kMaxRetriedTriples;

// Searches the centres marked `select`. Returns true when the code list is
// full, which ends every search.
bool TripleSearch(LocateContext* ctx, FinderCentre* c, int32_t n, int32_t select, bool outer) {
  int64_t budget = (int64_t(ctx->width) * ctx->height) >> 9;
  if (budget < kMinFailureBudget) budget = kMinFailureBudget;
  // Light-on-dark codes are rare: their search gets a quarter of the budget.
  if (ctx->invert != 0) budget >>= 2;
  int64_t failures = 0;
  int32_t apart[kMaxApartTriples][4];  // i, j, k and how far the test got
  int32_t napart = 0;
  bool ended = false;
  for (int32_t i = 0; i < n && !ended; i++) {
    for (int32_t j = i + 1; j < n && c[i].found == select && !ended; j++) {
      if (c[j].found != select) continue;
      for (int32_t k = j + 1; k < n && c[i].found == select; k++) {
        if (c[k].found != select) continue;
        if (BudgetSpent(*ctx)) return false;
        CodeData code{};
        int reached = 0;
        if (ConfigurationTest(ctx, &c[i], &c[j], &c[k], &code, &reached) < 0) {
          if ((reached & kReachedApart) != 0 && napart < kMaxApartTriples) {
            apart[napart][0] = i;
            apart[napart][1] = j;
            apart[napart][2] = k;
            apart[napart][3] = reached;
            napart++;
          }
          if (++failures > budget) {
            ended = true;
            break;
          }
          continue;
        }
        FinderCentre* const triple[3] = {&c[i], &c[j], &c[k]};
        if (StoreCode(ctx, c, n, triple, &code, outer)) return true;
        failures = 0;
      }
    }
  }
  // The retries of the triples kept apart, whose centres no code has taken.
  for (int32_t a = 0; a < napart; a++) {
    FinderCentre* const triple[3] = {&c[apart[a][0]], &c[apart[a][1]], &c[apart[a][2]]};
    if (triple[0]->found != select || triple[1]->found != select || triple[2]->found != select) {
      continue;
    }
    if (BudgetSpent(*ctx)) return false;
    CodeData code{};
    if (ApartRetries(ctx, triple[0], triple[1], triple[2], apart[a][3], &code) < 0) continue;
    if (StoreCode(ctx, c, n, triple, &code, outer)) return true;
  }
  return false;
}

}  // namespace

int64_t WorkBudget(int32_t width, int32_t height) {
  const int64_t budget = kWorkPerPixel * width * height;
  return budget > kMinWorkBudget ? budget : kMinWorkBudget;
}

int32_t MarkCentresInsideCodes(const LocateContext& ctx, FinderCentre* centres, int32_t count) {
  for (int32_t i = 0; i < ctx.codeCount; i++) {
    int32_t corners[4][2];
    for (int k = 0; k < 4; k++) {
      corners[k][0] = ctx.codes[i].corners[k][0] * 4;
      corners[k][1] = ctx.codes[i].corners[k][1] * 4;
    }
    for (int32_t m = 0; m < count; m++) {
      if (InsideOutline(corners, centres[m].pos)) centres[m].found = kMarked;
    }
  }
  int32_t free = 0;
  for (int32_t m = 0; m < count; m++) free += centres[m].found == kFree;
  return free;
}

void SearchCodes(LocateContext* ctx, FinderCentre* centres, int32_t count) {
  if (count < 3) return;
  TripleSearch(ctx, centres, count, kFree, true);
}

}  // namespace qrread
