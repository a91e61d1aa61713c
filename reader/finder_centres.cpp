#include "reader/finder_centres.h"

#include <algorithm>
#include <cstring>

namespace qrread {

namespace {

// A run of lines of one finder pattern: `count` line indexes starting at
// `refs[first]`.
struct Cluster {
  int32_t first;
  int32_t count;
};

// Scratch of one direction: the clusters and their line references.
struct ClusterList {
  Cluster* clusters;
  int32_t count;
  int32_t* refs;
  uint8_t* lineMarks;
  uint8_t* clusterMarks;
};

inline int32_t Along(const FinderLine& l, int dir) { return l.pos[dir]; }
inline int32_t Across(const FinderLine& l, int dir) { return l.pos[1 - dir]; }
inline int32_t Diff(int32_t a, int32_t b) { return a > b ? a - b : b - a; }

// Whether line j continues a cluster whose last line is a (dir 0: along x).
bool Continues(const FinderLine& a, const FinderLine& j, int dir, int32_t t) {
  const int32_t sa = Along(a, dir), sj = Along(j, dir);
  if (Diff(sa, sj) > t) return false;
  if (Diff(sa + a.len, sj + j.len) > t) return false;
  if (a.boffs > 0 && j.boffs > 0 && Diff(sa - a.boffs, sj - j.boffs) > t) return false;
  if (a.eoffs > 0 && j.eoffs > 0 &&
      Diff(sa + a.len + a.eoffs, sj + j.len + j.eoffs) > t) {
    return false;
  }
  return true;
}

// Groups the lines (sorted by the across coordinate) of one direction.
void FindClusters(const FinderLine* lines, int32_t n, int dir, ClusterList* out) {
  std::memset(out->lineMarks, 0, static_cast<size_t>(n));
  out->count = 0;
  int32_t used = 0;
  for (int32_t i = 0; i + 1 < n; ++i) {
    if (out->lineMarks[i]) continue;
    int32_t* refs = out->refs + used;
    int32_t count = 1;
    refs[0] = i;
    int32_t total = lines[i].len;
    for (int32_t j = i + 1; j < n; ++j) {
      if (out->lineMarks[j]) continue;
      const FinderLine& a = lines[refs[count - 1]];
      const int32_t t = (a.len + 7) >> 2;
      if (Diff(Across(a, dir), Across(lines[j], dir)) > t) break;
      if (!Continues(a, lines[j], dir, t)) continue;
      refs[count++] = j;
      total += lines[j].len;
    }
    const int32_t average = (2 * total + count) / (2 * count);
    if (count < 3 || count * 20 < average) continue;
    for (int32_t k = 0; k < count; ++k) out->lineMarks[refs[k]] = 1;
    out->clusters[out->count++] = Cluster{used, count};
    used += count;
  }
}

const FinderLine& MiddleLine(const FinderLine* lines, const ClusterList& list, int32_t c) {
  const Cluster& cl = list.clusters[c];
  return lines[list.refs[cl.first + cl.count / 2]];
}

// y of the first (topmost) line of horizontal cluster c.
int32_t FirstY(const FinderLine* hlines, const ClusterList& list, int32_t c) {
  return hlines[list.refs[list.clusters[c].first]].pos[1];
}

// x of the first (leftmost) line of vertical cluster c.
int32_t FirstX(const FinderLine* vlines, const ClusterList& list, int32_t c) {
  return vlines[list.refs[list.clusters[c].first]].pos[0];
}

bool Cross(const FinderLine& h, const FinderLine& v) {
  return h.pos[0] <= v.pos[0] && v.pos[0] < h.pos[0] + h.len && v.pos[1] <= h.pos[1] &&
         h.pos[1] < v.pos[1] + v.len;
}

// Twice the line's estimate of the pattern centre along it.
int32_t Contribution(const FinderLine& l, int dir) {
  const int32_t start = Along(l, dir);
  if (l.len < 14) return 2 * (start & ~3) + 12;
  int32_t c = 2 * start + l.len;
  if (l.boffs > 0 && l.eoffs > 0) c += l.eoffs - l.boffs;
  return c;
}

// Sums the contributions of a cluster's lines; returns the line count.
int32_t SumCluster(const FinderLine* lines, const ClusterList& list, int32_t c, int dir,
                   int64_t* sum) {
  const Cluster& cl = list.clusters[c];
  for (int32_t k = 0; k < cl.count; ++k) *sum += Contribution(lines[list.refs[cl.first + k]], dir);
  return cl.count;
}

// Appends the outer-module points of a cluster's lines; false when full.
bool AddEdgePoints(const FinderLine* lines, const ClusterList& list, int32_t c, int dir,
                   EdgePoint* points, int32_t* used, int32_t capacity) {
  const Cluster& cl = list.clusters[c];
  for (int32_t k = 0; k < cl.count; ++k) {
    const FinderLine& l = lines[list.refs[cl.first + k]];
    for (int side = 0; side < 2; ++side) {
      const int32_t off = side == 0 ? l.boffs : l.eoffs;
      if (off <= 0) continue;
      if (*used >= capacity) return false;
      EdgePoint& p = points[(*used)++];
      p.pos[0] = l.pos[0];
      p.pos[1] = l.pos[1];
      p.pos[dir] += side == 0 ? -off : l.len + off;
      p.edge = 0;
      p.extent = 0;
    }
  }
  return true;
}

bool CentreBefore(const FinderCentre& a, const FinderCentre& b) {
  if (a.nedgePts != b.nedgePts) return a.nedgePts > b.nedgePts;
  if (a.pos[1] != b.pos[1]) return a.pos[1] < b.pos[1];
  return a.pos[0] < b.pos[0];
}

// Insertion sort: stable, in place and allocation-free.
void SortCentres(FinderCentre* centres, int32_t n) {
  for (int32_t i = 1; i < n; ++i) {
    const FinderCentre c = centres[i];
    int32_t j = i;
    while (j > 0 && CentreBefore(c, centres[j - 1])) {
      centres[j] = centres[j - 1];
      --j;
    }
    centres[j] = c;
  }
}

// Carves the two cluster lists out of the scratch bytes.
uint8_t* PlaceList(uint8_t* p, int32_t n, ClusterList* list) {
  list->clusters = reinterpret_cast<Cluster*>(p);
  p += sizeof(Cluster) * static_cast<size_t>(n / 3 + 1);
  list->refs = reinterpret_cast<int32_t*>(p);
  p += sizeof(int32_t) * static_cast<size_t>(n);
  list->lineMarks = p;
  p += static_cast<size_t>(n);
  list->clusterMarks = p;
  p += static_cast<size_t>(n / 3 + 1);
  return p + ((8 - reinterpret_cast<uintptr_t>(p) % 8) % 8);
}

}  // namespace

void MarkCrossingStrips(const FinderLine* hlines, int32_t nh, uint8_t* scratch, int32_t nstrips,
                        CrossingSink sink, void* context) {
  ClusterList h;
  PlaceList(scratch + ((8 - reinterpret_cast<uintptr_t>(scratch) % 8) % 8), nh, &h);
  FindClusters(hlines, nh, 0, &h);
  for (int32_t i = 0; i < h.count; ++i) {
    const FinderLine& m = MiddleLine(hlines, h, i);
    // Columns c whose across coordinate 4c + 2 lies in [x, x + len).
    int32_t c0 = (m.pos[0] + 1) >> 2, c1 = (m.pos[0] + m.len - 3) >> 2;
    if (c0 < 0) c0 = 0;
    if (c1 >= nstrips * 16) c1 = nstrips * 16 - 1;
    if (c0 <= c1) sink(context, m, c0, c1);
  }
}

static_assert(sizeof(Cluster) == 8, "LocateCentresScratchBytes counts 8 bytes per cluster");

int32_t LocateCentres(const FinderLine* hlines, int32_t nh, FinderLine* vlines, int32_t nv,
                      uint8_t* scratch, FinderCentre* centres, int32_t maxCentres,
                      EdgePoint* edgePoints, int32_t maxEdgePoints) {
  std::sort(vlines, vlines + nv, [](const FinderLine& a, const FinderLine& b) {
    return a.pos[0] != b.pos[0] ? a.pos[0] < b.pos[0] : a.pos[1] < b.pos[1];
  });
  uint8_t* p = scratch + ((8 - reinterpret_cast<uintptr_t>(scratch) % 8) % 8);
  ClusterList h, v;
  p = PlaceList(p, nh, &h);
  PlaceList(p, nv, &v);
  FindClusters(hlines, nh, 0, &h);
  FindClusters(vlines, nv, 1, &v);
  std::memset(h.clusterMarks, 0, static_cast<size_t>(h.count));
  std::memset(v.clusterMarks, 0, static_cast<size_t>(v.count));

  int32_t span = 0;
  for (int32_t j = 0; j < v.count; ++j) {
    span = std::max(span, MiddleLine(vlines, v, j).pos[0] - FirstX(vlines, v, j));
  }
  int32_t ncentres = 0;
  int32_t usedPoints = 0;
  for (int32_t i = 0; i < h.count && ncentres < maxCentres; ++i) {
    if (h.clusterMarks[i]) continue;
    const FinderLine& hi = MiddleLine(hlines, h, i);
    // Vertical clusters crossing i: collected in order, marked.
    int32_t firstV = -1, nV = 0;
    // Clusters start in x order and their middle lines lie 0 .. span right of
    // their first: only those starting in [x - span, x + len) can cross hi.
    int32_t lo = 0, hiEnd = v.count;
    while (lo < hiEnd) {
      const int32_t m = (lo + hiEnd) / 2;
      if (FirstX(vlines, v, m) < hi.pos[0] - span) {
        lo = m + 1;
      } else {
        hiEnd = m;
      }
    }
    int32_t lastV = -1;
    for (int32_t j = lo; j < v.count; ++j) {
      if (FirstX(vlines, v, j) >= hi.pos[0] + hi.len) break;
      if (v.clusterMarks[j] || !Cross(hi, MiddleLine(vlines, v, j))) continue;
      v.clusterMarks[j] = 2;  // 2: taken by the centre being built
      if (firstV < 0) firstV = j;
      lastV = j;
      ++nV;
    }
    if (nV == 0) continue;
    // The middle one of the collected vertical clusters.
    int32_t mid = firstV;
    for (int32_t j = firstV, seen = 0; j < v.count; ++j) {
      if (v.clusterMarks[j] != 2) continue;
      if (seen++ == nV / 2) {
        mid = j;
        break;
      }
    }
    const FinderLine& vm = MiddleLine(vlines, v, mid);
    h.clusterMarks[i] = 2;
    int32_t lastH = i;
    // Clusters come in the order of their first rows, and a middle line
    // lies at or below its cluster's first row: none past the end of vm.
    for (int32_t k = i + 1; k < h.count; ++k) {
      if (FirstY(hlines, h, k) >= vm.pos[1] + vm.len) break;
      if (h.clusterMarks[k] || !Cross(MiddleLine(hlines, h, k), vm)) continue;
      h.clusterMarks[k] = 2;
      lastH = k;
    }
    FinderCentre& c = centres[ncentres];
    int64_t xsum = 0, ysum = 0;
    int32_t n = 0, m = 0;
    const int32_t firstPoint = usedPoints;
    bool full = false;
    for (int32_t k = i; k <= lastH; ++k) {
      if (h.clusterMarks[k] != 2) continue;
      h.clusterMarks[k] = 1;
      n += SumCluster(hlines, h, k, 0, &xsum);
      full = full || !AddEdgePoints(hlines, h, k, 0, edgePoints, &usedPoints, maxEdgePoints);
    }
    for (int32_t k = firstV; k <= lastV; ++k) {
      if (v.clusterMarks[k] != 2) continue;
      v.clusterMarks[k] = 1;
      m += SumCluster(vlines, v, k, 1, &ysum);
      full = full || !AddEdgePoints(vlines, v, k, 1, edgePoints, &usedPoints, maxEdgePoints);
    }
    if (full) {
      usedPoints = firstPoint;
      break;
    }
    c.pos[0] = static_cast<int32_t>((xsum + n) / (2 * n));
    c.pos[1] = static_cast<int32_t>((ysum + m) / (2 * m));
    c.edgePts = edgePoints + firstPoint;
    c.nedgePts = usedPoints - firstPoint;
    c.found = 0;
    ++ncentres;
  }
  SortCentres(centres, ncentres);
  return ncentres;
}

}  // namespace qrread
