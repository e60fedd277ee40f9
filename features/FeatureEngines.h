#pragma once
// The three Windows-feature engines, one per Windows generation. They share
// the manager's reading machinery; their sources (setup information files,
// servicing packages, store apps) are read by the engines themselves.
#include "features/FeatureManager.h"

namespace velmora {

// Optional components of systems before Windows Vista.
class TSysocEngine : public TFeatureManager {
public:
    ~TSysocEngine() override { FreeReadingThread(); }
    const wchar_t* ClassName() const override { return L"TSysocEngine"; }

protected:
    void ReadFeatures(TThread& thread) override;
};

// Component-based servicing of Windows Vista and 7.
class TMumEngine : public TFeatureManager {
public:
    ~TMumEngine() override { FreeReadingThread(); }
    const wchar_t* ClassName() const override { return L"TMumEngine"; }

protected:
    void ReadFeatures(TThread& thread) override;
};

// Servicing plus store apps, Windows 8 and later.
class TMumEngineWin8 : public TMumEngine {
public:
    ~TMumEngineWin8() override { FreeReadingThread(); }
    const wchar_t* ClassName() const override { return L"TMumEngineWin8"; }

protected:
    void ReadFeatures(TThread& thread) override;
};

} // namespace velmora
