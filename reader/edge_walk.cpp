#include "reader/edge_walk.h"

#include "reader/alignment.h"
#include "reader/isaac.h"
#include "reader/locate_scratch.h"

namespace qrread {

namespace {

constexpr int kMaxEmptySteps = 14;
constexpr int kAlignmentRadius = 4;
constexpr int32_t kWalkLimit = int32_t(1) << 30;

int64_t Abs64(int64_t a) { return a < 0 ? -a : a; }

// Adds a finder's inliers of one class to a fit; a finder without any gives
// its outer module centre on that side instead.
void AddFinderEdge(LineSums* sums, const FinderRole& f, int edgeClass, const AffineMap& aff) {
  int n = f.ninliers[edgeClass];
  for (int i = 0; i < n; i++) LineSumsAdd(sums, f.edges[edgeClass][i].pos[0], f.edges[edgeClass][i].pos[1]);
  if (n > 0) return;
  int axis = edgeClass >> 1;
  int64_t q[2] = {f.o[0], f.o[1]};
  q[axis] += (edgeClass & 1 ? 3 : -3) * int64_t(f.size[axis]);
  int32_t p[2];
  AffineProject(aff, q[0], q[1], p);
  LineSumsAdd(sums, p[0], p[1]);
}

bool NonNegative(const EdgeLine& line, const int32_t p[2]) {
  return LineEval(line, p[0], p[1]) >= 0;
}

// One of the two edge walks, in the affine domain.
struct Walk {
  WalkPoint* pts;
  int n;
  int nAtFit;
  EdgeLine line;
  int32_t pos[2];
  int32_t step;      // along the edge, per step
  int32_t side;      // across the edge, per step
  int32_t across;    // one module across the edge
  int along;         // axis walked: 1 (v) for the right edge, 0 (u) for the bottom
  int misses;
  bool done;
  const int32_t* ref;  // centre on the non-negative side of the line
};

// The sideways step per walk step along `line`; -1 when the line runs 45
// degrees or more away from the walk.
int SideStep(const EdgeLine& line, const AffineMap& aff, int along, int32_t step, int32_t* side) {
  int64_t dx = -line.b, dy = line.a;  // direction of the line in the image
  int64_t du = dx * aff.dv[1] - dy * aff.dv[0];
  int64_t dv = dy * aff.du[0] - dx * aff.du[1];
  int64_t a = along ? dv : du, c = along ? du : dv;
  if (Abs64(c) >= Abs64(a)) return -1;
  int64_t s = DivRound(int64_t(step) * c, a);
  if (Abs64(s) >= step) return -1;
  *side = static_cast<int32_t>(s);
  return 0;
}

void Refit(Walk* w, const AffineMap& aff) {
  w->nAtFit = w->n;
  LineSums sums;
  LineSumsClear(&sums);
  for (int i = 0; i < w->n; i++) LineSumsAdd(&sums, w->pts[i].x, w->pts[i].y);
  EdgeLine line;
  if (FitLine(sums, &line) < 0) return;
  OrientLine(&line, w->ref);
  int32_t side;
  if (SideStep(line, aff, w->along, w->step, &side) < 0) return;
  w->line = line;
  w->side = side;
}

void StepWalk(Walk* w, const AffineMap& aff, const BinaryImage& im) {
  int ac = 1 - w->along;
  int32_t qo[2] = {w->pos[0], w->pos[1]}, qi[2] = {w->pos[0], w->pos[1]};
  qo[ac] += w->across;  // one module outside the edge
  qi[ac] -= w->across;  // one module inside
  int32_t e0[2], e1[2];
  AffineProject(aff, qo[0], qo[1], e0);
  AffineProject(aff, qi[0], qi[1], e1);
  for (int k = 0; k < 2; k++) {
    e0[k] >>= 2;
    e1[k] >>= 2;
  }
  bool empty = true;
  if (InsideImage(im, e0[0], e0[1]) && InsideImage(im, e1[0], e1[1]) &&
      PixelDark(im, 4 * ((e0[0] + e1[0]) >> 1), 4 * ((e0[1] + e1[1]) >> 1))) {
    empty = false;
    if (!PixelDark(im, 4 * e0[0], 4 * e0[1]) && !PixelDark(im, 4 * e1[0], 4 * e1[1])) {
      int32_t p0[2], p1[2];
      if (FirstOnLine(im, e0, e1, 1, p0) == 0 && FirstOnLine(im, e1, e0, 1, p1) == 0) {
        int32_t pt[2] = {2 * (p0[0] + p1[0]) + 2, 2 * (p0[1] + p1[1]) + 2};
        if (w->n < kWalkPointCapacity) w->pts[w->n++] = WalkPoint{pt[0], pt[1]};
        int32_t q[2];
        AffineUnproject(aff, pt[0], pt[1], q);
        w->pos[ac] += (q[ac] - w->pos[ac]) / 2;
        if (q[w->along] > w->pos[w->along]) w->pos[w->along] += (q[w->along] - w->pos[w->along]) / 2;
        if (w->n - w->nAtFit > w->nAtFit / 4) Refit(w, aff);
      } else {
        empty = true;
      }
    }
  }
  w->misses = empty ? w->misses + 1 : 0;
  w->pos[w->along] += w->step;
  w->pos[ac] += w->side;
}

// Sets up a walk from a finder's inliers on the walked side. -1 when its
// starting line puts a finder centre on the wrong side or runs too steeply.
int StartWalk(Walk* w, WalkPoint* storage, const FinderRole& f, int edgeClass, int along,
              const FinderRole& ulRole, const FinderRole& other, const AffineMap& aff) {
  int ac = 1 - along;
  w->pts = storage;
  w->n = 0;
  int ninl = f.ninliers[edgeClass];
  for (int i = 0; i < ninl && w->n < kWalkPointCapacity; i++) {
    w->pts[w->n++] = WalkPoint{f.edges[edgeClass][i].pos[0], f.edges[edgeClass][i].pos[1]};
  }
  w->nAtFit = w->n;
  w->step = f.size[along] >> 1;
  if (w->step < 1) w->step = 1;
  w->across = f.size[ac];
  w->along = along;
  w->misses = 0;
  w->done = false;
  w->ref = ulRole.centre->pos;
  w->side = 0;
  if (ninl >= 2) {
    LineSums sums;
    LineSumsClear(&sums);
    for (int i = 0; i < ninl; i++) LineSumsAdd(&sums, f.edges[edgeClass][i].pos[0], f.edges[edgeClass][i].pos[1]);
    if (FitLine(sums, &w->line) < 0) return -1;
    OrientLine(&w->line, w->ref);
    if (!NonNegative(w->line, other.centre->pos)) return -1;
    if (SideStep(w->line, aff, along, w->step, &w->side) < 0) return -1;
  }
  w->pos[along] = f.o[along] - 2 * w->step;
  w->pos[ac] = f.o[ac] + 3 * f.size[ac] - 2 * w->side;
  return 0;
}

// Returns the steps taken.
int RunWalks(Walk* right, Walk* bottom, const FinderRole& ur, const FinderRole& dl,
             const AffineMap& aff, const BinaryImage& im) {
  int iter = 0;
  for (; iter < 4 * kWalkPointCapacity; iter++) {
    if (!right->done) {
      int32_t limit = bottom->pos[1];
      int32_t mid = (dl.o[1] + bottom->pos[1]) >> 1;
      if (mid < limit) limit = mid;
      right->done = right->misses > kMaxEmptySteps || right->pos[1] >= limit;
    }
    if (!bottom->done) {
      int32_t limit = right->pos[0];
      int32_t mid = (ur.o[0] + right->pos[0]) >> 1;
      if (mid < limit) limit = mid;
      bottom->done = bottom->misses > kMaxEmptySteps || bottom->pos[0] >= limit;
    }
    // A walk that has drifted out of any sensible domain range is over.
    if (Abs64(right->pos[0]) > kWalkLimit || Abs64(right->pos[1]) > kWalkLimit) right->done = true;
    if (Abs64(bottom->pos[0]) > kWalkLimit || Abs64(bottom->pos[1]) > kWalkLimit) bottom->done = true;
    if (right->done && bottom->done) return iter;
    if (!right->done && (bottom->done || right->pos[1] < bottom->pos[0])) {
      StepWalk(right, aff, im);
    } else {
      StepWalk(bottom, aff, im);
    }
  }
  return iter;
}

// The final line of a walked edge: fitted to its points, or with fewer than
// two the finder's outer module line parallel to the affine axis.
int FinishLine(const Walk& w, const FinderRole& f, const AffineMap& aff, EdgeLine* line) {
  LineSums sums;
  LineSumsClear(&sums);
  for (int i = 0; i < w.n; i++) LineSumsAdd(&sums, w.pts[i].x, w.pts[i].y);
  if (w.n < 2 || FitLine(sums, line) < 0) {
    int ac = 1 - w.along;
    int64_t q0[2], q1[2];
    q0[ac] = q1[ac] = f.o[ac] + 3 * int64_t(f.size[ac]);
    q0[w.along] = f.o[w.along];
    q1[w.along] = f.o[w.along] + (int64_t(1) << aff.bits);
    int32_t p0[2], p1[2];
    AffineProject(aff, q0[0], q0[1], p0);
    AffineProject(aff, q1[0], q1[1], p1);
    if (LineThrough(p0, p1, line) < 0) return -1;
  }
  OrientLine(line, w.ref);
  return 0;
}

// Replaces the intersection corner at lower right with the projective
// extrapolation through the alignment pattern, when one is found. -1 when the
// extrapolation has no finite answer.
int UseAlignmentCorner(const FinderRole& ur, const FinderRole& dl, const BinaryImage& im,
                       int32_t corners[4][2], int64_t* probes) {
  int32_t s = ur.eversion[0] + ur.eversion[1] + dl.eversion[0] + dl.eversion[1];
  if (s <= 4) return 0;
  int32_t n = 17 + s;
  int32_t last = ModuleCentre(n - 1), first = ModuleCentre(0);
  const int32_t src[4][2] = {{first, first}, {last, first}, {first, last}, {last, last}};
  ProjMap cell;
  if (ProjMapFromQuads(&cell, src, corners) < 0) return 0;
  int32_t found[2];
  if (FindAlignment(cell, n - 7, n - 7, kAlignmentRadius, im, found, probes) < 0) return 0;
  int32_t dr[2];
  if (ExtrapolateCorner(corners[0], corners[1], corners[2], found, n, dr) < 0) return -1;
  if (CornerInBounds(dr, im.width, im.height)) {
    corners[3][0] = dr[0];
    corners[3][1] = dr[1];
  }
  return 0;
}

}  // namespace

bool CornerInBounds(const int32_t p[2], int32_t width, int32_t height) {
  return p[0] >= -4 * width && p[0] < 8 * width && p[1] >= -4 * height && p[1] < 8 * height;
}

int FitHomography(FinderRole* ul, FinderRole* ur, FinderRole* dl, const AffineMap& aff,
                  const BinaryImage& im, IsaacState* rng, LocateScratch* scratch,
                  OutlineFit* out) {
  struct Job {
    FinderRole* f;
    int edgeClass;
  };
  const Job jobs[6] = {{ul, 0}, {ul, 2}, {ur, 1}, {ur, 2}, {dl, 0}, {dl, 3}};
  for (const Job& j : jobs) {
    j.f->ninliers[j.edgeClass] =
        RansacEdge(j.f->edges[j.edgeClass], j.f->nedges[j.edgeClass], j.edgeClass, aff, rng);
  }

  EdgeLine left, top;
  LineSums sums;
  LineSumsClear(&sums);
  AddFinderEdge(&sums, *ul, 0, aff);
  AddFinderEdge(&sums, *dl, 0, aff);
  if (FitLine(sums, &left) < 0) return -1;
  OrientLine(&left, ur->centre->pos);
  LineSumsClear(&sums);
  AddFinderEdge(&sums, *ul, 2, aff);
  AddFinderEdge(&sums, *ur, 2, aff);
  if (FitLine(sums, &top) < 0) return -1;
  OrientLine(&top, dl->centre->pos);
  if (!NonNegative(left, dl->centre->pos) || !NonNegative(top, ur->centre->pos)) return -1;

  Walk right, bottom;
  if (StartWalk(&right, scratch->rightEdge, *ur, 1, 1, *ul, *dl, aff) < 0) return -1;
  if (StartWalk(&bottom, scratch->bottomEdge, *dl, 3, 0, *ul, *ur, aff) < 0) return -1;
  // A step tests about four pixels.
  scratch->probes += 4 * int64_t(RunWalks(&right, &bottom, *ur, *dl, aff, im));

  EdgeLine rightLine, bottomLine;
  if (FinishLine(right, *ur, aff, &rightLine) < 0) return -1;
  if (FinishLine(bottom, *dl, aff, &bottomLine) < 0) return -1;

  int32_t(*c)[2] = out->corners;
  if (IntersectLines(left, top, c[0]) < 0 || IntersectLines(rightLine, top, c[1]) < 0 ||
      IntersectLines(left, bottomLine, c[2]) < 0 ||
      IntersectLines(rightLine, bottomLine, c[3]) < 0) {
    return -1;
  }
  for (int k = 0; k < 4; k++) {
    if (!CornerInBounds(c[k], im.width, im.height)) return -1;
  }
  if (UseAlignmentCorner(*ur, *dl, im, c, &scratch->probes) < 0) return -1;
  return ProjMapFromSquare(&out->hom, kHomographyBits, c);
}

}  // namespace qrread
