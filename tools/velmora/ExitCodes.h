#pragma once
// The exit codes of velmora.exe, as its usage text lists them.

namespace velmora::cli {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kNoLibrary = 3;
constexpr int kNoProduct = 4;
constexpr int kNotOffered = 5;
constexpr int kOtherActionRunning = 6;
constexpr int kStillListed = 7;
constexpr int kStillRunning = 8;
constexpr int kCommandError = 9;
constexpr int kAmbiguousName = 10;
constexpr int kScanFailed = 11;
constexpr int kNotAllRemoved = 12;
constexpr int kCancelled = 13;
constexpr int kNoBackupComponent = 14;
constexpr int kNoBackupSet = 15;
constexpr int kRestoredBefore = 16;
constexpr int kNoFeature = 17;
constexpr int kFeatureUnchanged = 18;

} // namespace velmora::cli
