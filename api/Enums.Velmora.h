#pragma once
// Enumerations of the public interface. Part of the contract with the front
// end (included by Interfaces.Velmora.h); needs nothing but <cstdint>, so the
// portable units use the same definitions.
#include <cstdint>

enum class TUsedType : uint8_t { utNone, utRarely, utOccasionaly, utFrequently };

enum class TReleaseType : uint8_t {
    rtNone,
    rtSoftwareUpdate,
    rtUpdate,
    rtUpdateRollup,
    rtServicePack,
    rtCriticalUpdate,
    rtSecurityUpdate,
    rtHotfix
};

enum class TPossibleActions : uint8_t {
    paUninstall,
    paUninstallQuiet,
    paModify,
    paRepair,
    paModifyRemove,
    paRemoveFromRegistry,
    paInstall
};

// Bit n is set when TPossibleActions value n is allowed.
using TPossibleActionsSet = uint8_t;

constexpr TPossibleActionsSet ActionBit(TPossibleActions action) {
    return static_cast<TPossibleActionsSet>(1u << static_cast<unsigned>(action));
}

enum class TInstallState : uint8_t { isNone, isInstalling, isUninstalling };

// "rsNonw" is the contract's spelling.
enum class TReadState : uint8_t { rsNonw, rsLoading, rsLoaded };

enum class TSoftwareRating : uint8_t { stTrustWorthy, stUnknown, stRisky };

enum class TFRAction : uint8_t {
    fraCalculating,
    fraCheckingFiles,
    fraRemovingRegistryKeys,
    fraRemovingFiles
};

enum class TFRState : uint8_t { frsInitial, frsRunning, frsPaused, frsFinished };

enum class TFRRequiredAction : uint8_t {
    frqNone,
    frqRKUsageDecision,
    frqBlockedFilesDecision,
    frqRKFreeSpaceDecision
};

enum class TFRRKUsage : uint8_t { rkuNone, rkuUseRK, rkuNotUseRK };

enum class TFRBlockedFilesDecision : uint8_t { bfdNone, bfdContinue };

enum class TFRFreeSpaceDecision : uint8_t { rksNone, rksNotUseRK };
