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

// Product information indices (arguments of IProduct::GetInfo, bit numbers of
// IProductCollection::GetInfoMask).
enum TProductInfo : int32_t {
    piDisplayName = 0,
    piDisplayVersion = 1,
    piPublisher = 2,
    piInstallLocation = 3,
    piInstallSource = 4,
    piInstallDate = 5,
    piContact = 6,
    piComments = 7,
    piURLReadMe = 8,
    piURLHelpLink = 9,
    piURLSupport = 10,
    piPhoneSupport = 11,
    piURLUpdateInfo = 12,
    piLanguage = 13,
    piEstimatedSize = 14,
    piRegisteredOwner = 15,
    piRegisteredCompany = 16,
    piProductKeyName = 17,
    piProductID = 18,
    piLastUsedDate = 19,
    piUsedType = 20,
    piSoftwareRating = 21,
    piUpdateID = 22,
    piReleaseType = 23,
    piParentDisplayName = 24,
    piFeatureEnabled = 25,
    piFeaturePackageName = 26,
    piFeatureInstallUser = 27,
    piFeatureName = 28
};

// The bit of an information index in an information mask.
constexpr int32_t InfoBit(TProductInfo info) {
    return static_cast<int32_t>(1u << static_cast<unsigned>(info));
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
