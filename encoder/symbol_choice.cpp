#include "encoder/symbol_choice.h"

#include "qrcore/qr_standard.h"

namespace {

bool Holds(int32_t version, int32_t level, int32_t bits) {
  return bits <= 8 * qrstd::DataCodewords(version, level);
}

int32_t SmallestVersion(int32_t level, int32_t bits) {
  for (int32_t v = qrstd::kMinVersion; v <= qrstd::kMaxVersion; ++v) {
    if (Holds(v, level, bits)) return v;
  }
  return 0;
}

int32_t RaiseLevel(int32_t version, int32_t level, int32_t bits) {
  for (int32_t raised = qrstd::kLevelH; raised > level; --raised) {
    if (Holds(version, raised, bits)) return raised;
  }
  return level;
}

}  // namespace

QrChoiceResult qr_choose_symbol(int32_t bits, int32_t requestedLevel, int32_t requestedVersion,
                                QrChoice* choice) {
  const int32_t level = requestedLevel >= 1 && requestedLevel <= 4 ? requestedLevel - 1
                                                                   : int32_t{qrstd::kLevelL};
  if (!Holds(qrstd::kMaxVersion, level, bits)) return QrChoiceResult::kTooLongForLevel;
  int32_t version = SmallestVersion(level, bits);
  if (requestedVersion >= qrstd::kMinVersion && requestedVersion <= qrstd::kMaxVersion) {
    if (requestedVersion < version) return QrChoiceResult::kTooLongForVersion;
    version = requestedVersion;
  }
  choice->level = RaiseLevel(version, level, bits);
  choice->version = version;
  return QrChoiceResult::kOk;
}
