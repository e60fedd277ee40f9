#pragma once
// The suite's process component (ProcyraHelper.dll), obtained through its
// DllGetInstance as IPYManager; its agent libraries
// (ProcyraHelper.Agent.<bitness>.dll) serve the same manager as a COM class
// once registered.
//
// Binary contract: every method keeps its slot after IUnknown's (and, for
// IPYProcessList, after ICommonList's thirteen); STDMETHODCALLTYPE; Integer =
// int32_t, 64-bit = int64_t, Boolean = bool (one byte), dates OLE dates
// (double). Text results are a trailing BSTR* that the callee fills with a
// new BSTR the caller frees; interface outs are a trailing I** holding a
// counted reference (nullptr when there is none). Methods that can fail answer
// an HRESULT; no method lets a C++ exception escape.
#include <windows.h>
#include <unknwn.h>
#include <oaidl.h>

#include <cstdint>

struct IPYProcess;

// Terminate's answer for a process that had already ended (or whose id now
// belongs to another process): HRESULT_FROM_WIN32(ERROR_NOT_FOUND).
constexpr HRESULT PY_E_PROCESS_ENDED = static_cast<HRESULT>(0x80070490L);

// The operations every list of the component shares. A list is a snapshot of
// the system, renewed by Refresh. Between BeginWalk and the matching EndWalk
// (walks nest, from any thread) its entries and their order stay as they are:
// Refresh and Clear asked for during a walk are made when the last walk ends,
// the later request winning.
MIDL_INTERFACE("BCF2FC68-D71B-4847-A0D0-5084CBF96F19")
ICommonList : public IUnknown {
    virtual bool STDMETHODCALLTYPE IsEmpty() = 0;
    // Empties the list. S_OK when done, S_FALSE when waiting for the walk's end.
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    // Local OLE date of the last refresh that was made; 0 before the first.
    virtual double STDMETHODCALLTYPE GetRefreshTime() = 0;
    // Rises by one each time the entries are replaced (refresh or clear), so
    // that a poller can tell a renewed list from the one it saw.
    virtual int32_t STDMETHODCALLTYPE GetChangeCount() = 0;
    // Win32 error of the last refresh that was made; 0 when it succeeded.
    virtual int32_t STDMETHODCALLTYPE GetRefreshError() = 0;
    // Walks open now.
    virtual int32_t STDMETHODCALLTYPE GetWalkDepth() = 0;
    virtual void STDMETHODCALLTYPE BeginWalk() = 0;
    // A Refresh or Clear waits for the end of the walk.
    virtual bool STDMETHODCALLTYPE HasPendingChange() = 0;
    // Index of the entry with that id (for processes the process id); -1 when none.
    virtual int32_t STDMETHODCALLTYPE IndexOfId(int32_t Id) = 0;
    // Reads the list anew from the system. S_OK when done, S_FALSE when
    // waiting for the walk's end, a failure HRESULT when the system refused
    // (the list is then empty).
    virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
    // Index of the first entry from From on whose text (for processes the
    // executable's full path, or its file name when the path is unknown)
    // equals Text ignoring case; -1 when none.
    virtual int32_t STDMETHODCALLTYPE IndexOfText(LPCWSTR Text, int32_t From) = 0;
    // The text of an entry; empty for an index out of range.
    virtual void STDMETHODCALLTYPE GetText(int32_t Index, BSTR * Text) = 0;
    // Ends one walk; without an open walk it does nothing.
    virtual void STDMETHODCALLTYPE EndWalk() = 0;
};

// The running processes, as the last refresh found them.
MIDL_INTERFACE("CDCFC755-A3C6-4E67-8EB8-25EB9A51E85D")
IPYProcessList : public ICommonList {
    virtual int32_t STDMETHODCALLTYPE GetCount() = 0;
    // nullptr for an index out of range.
    virtual void STDMETHODCALLTYPE GetItem(int32_t Index, IPYProcess * *Process) = 0;
};

// One process of a list. Identity facts (id, name, path, parent, threads,
// base priority) are those of the refresh that found it; the others are read
// from the system when asked and answer -1 (0 for dates and the priority
// class, false, empty text) when the system does not tell. The object holds
// the process open where it may, so that its id is not given to another
// process while the object lives.
MIDL_INTERFACE("4EC59952-120F-411E-B0AF-EEF9C15AC4B9")
IPYProcess : public IUnknown {
    virtual int32_t STDMETHODCALLTYPE GetId() = 0;
    // The executable's file name without folder.
    virtual void STDMETHODCALLTYPE GetName(BSTR * Name) = 0;
    // The executable's full path; empty when the process could not be asked.
    virtual void STDMETHODCALLTYPE GetPath(BSTR * Path) = 0;
    virtual int32_t STDMETHODCALLTYPE GetParentId() = 0;
    virtual int32_t STDMETHODCALLTYPE GetThreadCount() = 0;
    virtual int32_t STDMETHODCALLTYPE GetBasePriority() = 0;
    // Terminal-services session.
    virtual int32_t STDMETHODCALLTYPE GetSessionId() = 0;
    // Local OLE date of the start.
    virtual double STDMETHODCALLTYPE GetCreationTime() = 0;
    // Processor time in kernel and in user mode, in 100-ns units.
    virtual int64_t STDMETHODCALLTYPE GetKernelTime() = 0;
    virtual int64_t STDMETHODCALLTYPE GetUserTime() = 0;
    // Memory in bytes.
    virtual int64_t STDMETHODCALLTYPE GetWorkingSetSize() = 0;
    virtual int64_t STDMETHODCALLTYPE GetPeakWorkingSetSize() = 0;
    virtual int64_t STDMETHODCALLTYPE GetPagefileUsage() = 0;
    virtual int32_t STDMETHODCALLTYPE GetHandleCount() = 0;
    // The Win32 priority class (NORMAL_PRIORITY_CLASS, ...).
    virtual int32_t STDMETHODCALLTYPE GetPriorityClass() = 0;
    // A 32-bit process on 64-bit Windows.
    virtual bool STDMETHODCALLTYPE IsWow64() = 0;
    // The account the process runs as, "DOMAIN\user".
    virtual void STDMETHODCALLTYPE GetUserName(BSTR * User) = 0;
    // Values of the executable's version resource.
    virtual void STDMETHODCALLTYPE GetFileDescription(BSTR * Description) = 0;
    virtual void STDMETHODCALLTYPE GetCompanyName(BSTR * Company) = 0;
    virtual void STDMETHODCALLTYPE GetFileVersion(BSTR * Version) = 0;
    // Bytes read and written by the process's I/O calls.
    virtual int64_t STDMETHODCALLTYPE GetReadTransferCount() = 0;
    virtual int64_t STDMETHODCALLTYPE GetWriteTransferCount() = 0;
    virtual bool STDMETHODCALLTYPE IsRunning() = 0;
    // STILL_ACTIVE (259) while the process runs.
    virtual int32_t STDMETHODCALLTYPE GetExitCode() = 0;
    // True once the process has ended, waiting at most Milliseconds.
    virtual bool STDMETHODCALLTYPE WaitForExit(int32_t Milliseconds) = 0;
    // Ends the process and waits a few seconds for it to be gone: S_OK once it
    // has ended, PY_E_PROCESS_ENDED when it had ended before, otherwise the
    // system's refusal (access denied, or WAIT_TIMEOUT when it lingers). The
    // calling process is never ended: it answers access denied.
    virtual HRESULT STDMETHODCALLTYPE Terminate() = 0;
};

MIDL_INTERFACE("16D13669-37A4-4CEE-B743-21B991EBEEE2")
IPYManager : public IUnknown {
    // Whether GetProcessList has been read from the system at least once.
    virtual bool STDMETHODCALLTYPE IsLoaded() = 0;
    // The process of the given id from a fresh look at the system; nullptr
    // when no such process runs.
    virtual void STDMETHODCALLTYPE FindProcess(int32_t Id, IPYProcess * *Process) = 0;
    // The manager's one process list: every call answers the same list, read
    // from the system on first use.
    virtual void STDMETHODCALLTYPE GetProcessList(IPYProcessList * *List) = 0;
};

// The class the agent libraries register: a fresh IPYManager per instance.
// {7D5B3A2E-41C8-4F6B-9E0D-2C8A1B6F4E93}
inline constexpr CLSID CLSID_PYAgentManager = {
    0x7D5B3A2E, 0x41C8, 0x4F6B, {0x9E, 0x0D, 0x2C, 0x8A, 0x1B, 0x6F, 0x4E, 0x93}};

#if defined(__MINGW32__)
__CRT_UUID_DECL(ICommonList, 0xBCF2FC68, 0xD71B, 0x4847, 0xA0, 0xD0, 0x50, 0x84, 0xCB, 0xF9, 0x6F, 0x19)
__CRT_UUID_DECL(IPYProcessList, 0xCDCFC755, 0xA3C6, 0x4E67, 0x8E, 0xB8, 0x25, 0xEB, 0x9A, 0x51, 0xE8, 0x5D)
__CRT_UUID_DECL(IPYProcess, 0x4EC59952, 0x120F, 0x411E, 0xB0, 0xAF, 0xEE, 0xF9, 0xC1, 0x5A, 0xC4, 0xB9)
__CRT_UUID_DECL(IPYManager, 0x16D13669, 0x37A4, 0x4CEE, 0xB7, 0x43, 0x21, 0xB9, 0x91, 0xEB, 0xEE, 0xE2)
#endif
