#include "vxTaskScheduler.h"

#include "vxTextCodec.h"

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <taskschd.h>

#include <memory>

namespace {
// A COM pointer that releases what it holds.
template <typename T> struct TReleased {
    T* pointer = nullptr;
    ~TReleased() {
        if (pointer) pointer->Release();
    }
    T* operator->() const { return pointer; }
    T** operator&() { return &pointer; }
};

// A string for a COM call, freed after it.
class TBstr {
  public:
    explicit TBstr(const std::string& text)
        : bstr_(SysAllocString(reinterpret_cast<const OLECHAR*>(ProcessToUtf16(text).c_str()))) {}
    TBstr() = default;
    ~TBstr() { SysFreeString(bstr_); }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    BSTR Get() const { return bstr_; }
    BSTR* Out() { return &bstr_; }
    std::string Text() const {
        return bstr_ ? ProcessFromUtf16(reinterpret_cast<const char16_t*>(bstr_)) : std::string();
    }

  private:
    BSTR bstr_ = nullptr;
};

// COM for the calls of one scope, on this thread.
class TComScope {
  public:
    TComScope() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~TComScope() {
        if (initialized_) CoUninitialize();
    }

  private:
    bool initialized_;
};

// The connected service, and its folder of that name, made where asked and missing.
HRESULT OpenFolder(const std::string& name, TReleased<ITaskService>& service,
                   TReleased<ITaskFolder>& folder, bool make) {
    HRESULT result = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_ITaskService, reinterpret_cast<void**>(&service));
    if (FAILED(result)) return result;
    VARIANT none;
    VariantInit(&none);
    result = service->Connect(none, none, none, none);
    if (FAILED(result)) return result;
    const TBstr path("\\" + name);
    result = service->GetFolder(path.Get(), &folder);
    if (SUCCEEDED(result) || !make) return result;
    TReleased<ITaskFolder> root;
    const TBstr rootPath("\\");
    result = service->GetFolder(rootPath.Get(), &root);
    if (FAILED(result)) return result;
    const TBstr folderName(name);
    return root->CreateFolder(folderName.Get(), none, &folder);
}

bool IsMissing(HRESULT result) {
    return result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
           result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}
} // namespace

uint32_t TvxTaskFolder::Register(const std::string& name, const std::string& xml) {
    const TComScope com;
    TReleased<ITaskService> service;
    TReleased<ITaskFolder> folder;
    HRESULT result = OpenFolder(folder_, service, folder, true);
    if (FAILED(result)) return uint32_t(result);
    VARIANT none;
    VariantInit(&none);
    const TBstr taskName(name), taskXml(xml);
    TReleased<IRegisteredTask> task;
    result = folder->RegisterTask(taskName.Get(), taskXml.Get(), TASK_CREATE_OR_UPDATE, none, none,
                                  TASK_LOGON_INTERACTIVE_TOKEN, none, &task);
    return FAILED(result) ? uint32_t(result) : 0;
}

uint32_t TvxTaskFolder::Remove(const std::string& name) {
    const TComScope com;
    TReleased<ITaskService> service;
    TReleased<ITaskFolder> folder;
    HRESULT result = OpenFolder(folder_, service, folder, false);
    if (SUCCEEDED(result)) {
        const TBstr taskName(name);
        result = folder->DeleteTask(taskName.Get(), 0);
    }
    return FAILED(result) && !IsMissing(result) ? uint32_t(result) : 0;
}

std::optional<std::string> TvxTaskFolder::Xml(const std::string& name, uint32_t& error) {
    const TComScope com;
    TReleased<ITaskService> service;
    TReleased<ITaskFolder> folder;
    HRESULT result = OpenFolder(folder_, service, folder, false);
    TReleased<IRegisteredTask> task;
    if (SUCCEEDED(result)) {
        const TBstr taskName(name);
        result = folder->GetTask(taskName.Get(), &task);
    }
    TBstr xml;
    if (SUCCEEDED(result)) result = task->get_Xml(xml.Out());
    error = FAILED(result) && !IsMissing(result) ? uint32_t(result) : 0;
    if (FAILED(result)) return std::nullopt;
    return xml.Text();
}

namespace {
// The names of the folder's tasks.
HRESULT TaskNames(ITaskFolder* folder, std::vector<std::string>& names) {
    TReleased<IRegisteredTaskCollection> tasks;
    HRESULT result = folder->GetTasks(TASK_ENUM_HIDDEN, &tasks);
    LONG count = 0;
    if (SUCCEEDED(result)) result = tasks->get_Count(&count);
    for (LONG index = 1; SUCCEEDED(result) && index <= count; ++index) {
        VARIANT item;
        VariantInit(&item);
        item.vt = VT_I4;
        item.lVal = index;
        TReleased<IRegisteredTask> task;
        TBstr name;
        result = tasks->get_Item(item, &task);
        if (SUCCEEDED(result)) result = task->get_Name(name.Out());
        if (SUCCEEDED(result)) names.push_back(name.Text());
    }
    return result;
}
} // namespace

uint32_t TvxTaskFolder::RemoveAll(const std::vector<std::string>& names) {
    const TComScope com;
    TReleased<ITaskService> service;
    TReleased<ITaskFolder> folder;
    HRESULT result = OpenFolder(folder_, service, folder, false);
    if (FAILED(result)) return IsMissing(result) ? 0 : uint32_t(result);
    std::vector<std::string> listed;
    result = TaskNames(folder.pointer, listed);
    if (result == E_NOTIMPL) result = S_OK, listed = names;
    for (size_t i = 0; SUCCEEDED(result) && i < listed.size(); ++i) {
        const TBstr taskName(listed[i]);
        result = folder->DeleteTask(taskName.Get(), 0);
        if (IsMissing(result)) result = S_OK;
    }
    TReleased<ITaskFolder> root;
    const TBstr rootPath("\\"), folderName(folder_);
    if (SUCCEEDED(result)) result = service->GetFolder(rootPath.Get(), &root);
    if (SUCCEEDED(result)) result = root->DeleteFolder(folderName.Get(), 0);
    // A folder that still holds a task of another name stays, as does Wine's, which it
    // cannot delete.
    if (result == E_NOTIMPL || result == HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY)) result = S_OK;
    return FAILED(result) && !IsMissing(result) ? uint32_t(result) : 0;
}

std::string CurrentUser() {
    wchar_t user[256], domain[256];
    DWORD userSize = 256, domainSize = 256;
    if (!GetUserNameW(user, &userSize)) return {};
    if (!GetEnvironmentVariableW(L"USERDOMAIN", domain, domainSize))
        return ProcessFromUtf16(reinterpret_cast<const char16_t*>(user));
    return ProcessFromUtf16(reinterpret_cast<const char16_t*>(domain)) + "\\" +
           ProcessFromUtf16(reinterpret_cast<const char16_t*>(user));
}
