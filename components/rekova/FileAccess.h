#pragma once
// IFileAccess: file and folder changes recorded before they are made.
#include "api/Interfaces.Rekova.h"
#include "components/rekova/Recorder.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <functional>
#include <memory>

namespace velmora::rekova {

class TFileAccess : public TInterfacedObject<IFileAccess>, public TLiveCount<TFileAccess> {
public:
    explicit TFileAccess(std::shared_ptr<TRecorder> recorder) : FRecorder(std::move(recorder)) {}

    HRESULT STDMETHODCALLTYPE CreateFolder(LPCWSTR Path) override;
    HRESULT STDMETHODCALLTYPE RemoveFile(LPCWSTR Path) override;
    HRESULT STDMETHODCALLTYPE MoveEntry(LPCWSTR From, LPCWSTR To) override;
    DWORD STDMETHODCALLTYPE GetAttributes(LPCWSTR Path) override;
    HRESULT STDMETHODCALLTYPE SetAttributes(LPCWSTR Path, DWORD Attributes) override;
    HRESULT STDMETHODCALLTYPE SetTimes(LPCWSTR Path, const FILETIME* Created, const FILETIME* Accessed,
                                       const FILETIME* Written) override;
    HRESULT STDMETHODCALLTYPE CopyEntry(LPCWSTR From, LPCWSTR To, bool FailIfExists) override;
    HRESULT STDMETHODCALLTYPE RemoveFolder(LPCWSTR Path) override;

private:
    // Records what capture() gives, then makes the change; apply() answers
    // FALSE with the last error set when the change failed. The folders the
    // change touches (those holding path and the extra entry) are recorded
    // first, the first time in the set: adding or removing an entry gives a
    // folder a new write time.
    HRESULT Change(LPCWSTR path, std::wstring_view action, const std::function<TCaptures()>& capture,
                   const std::function<BOOL()>& apply, LPCWSTR extra = nullptr);
    // The folder holding the entry, unless the set records it already.
    void AddParentFolder(TCaptures& captures, LPCWSTR path) const;

    std::shared_ptr<TRecorder> FRecorder;
};

} // namespace velmora::rekova
