#pragma once
// Owners of the system's handles, one type per kind: each closes what it holds once,
// cannot be copied, and hands its handle on when it is moved.

#include <windows.h>

#include <shtypes.h>

#include <type_traits>
#include <utility>

template <typename TTraits> class TvxScoped {
  public:
    using THandle = typename TTraits::THandle;

    TvxScoped() = default;
    explicit TvxScoped(THandle handle) : handle_(handle) {}
    ~TvxScoped() { Reset(); }
    TvxScoped(const TvxScoped&) = delete;
    TvxScoped& operator=(const TvxScoped&) = delete;
    TvxScoped(TvxScoped&& other) noexcept : handle_(other.Release()) {}
    TvxScoped& operator=(TvxScoped&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    THandle Get() const { return handle_; }
    bool Valid() const { return TTraits::Valid(handle_); }
    explicit operator bool() const { return Valid(); }
    // Gives the handle up without closing it.
    THandle Release() { return std::exchange(handle_, TTraits::Null()); }
    // Closes what is held and takes the new handle.
    void Reset(THandle handle = TTraits::Null()) {
        if (Valid()) TTraits::Close(handle_);
        handle_ = handle;
    }
    // For the functions that return a handle through a pointer: closes what is held.
    THandle* Out() {
        Reset();
        return &handle_;
    }
    auto operator->() const requires std::is_pointer_v<THandle> { return handle_; }

  private:
    THandle handle_ = TTraits::Null();
};

// Handles that CloseHandle closes; null and INVALID_HANDLE_VALUE (what CreateFile and
// the snapshot functions give on failure) hold nothing.
struct TvxKernelHandleTraits {
    using THandle = HANDLE;
    static HANDLE Null() { return nullptr; }
    static bool Valid(HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
using TvxHandle = TvxScoped<TvxKernelHandleTraits>;

// A search of FindFirstFile.
struct TvxFindHandleTraits {
    using THandle = HANDLE;
    static HANDLE Null() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { FindClose(handle); }
};
using TvxFindHandle = TvxScoped<TvxFindHandleTraits>;

struct TvxRegKeyTraits {
    using THandle = HKEY;
    static HKEY Null() { return nullptr; }
    static bool Valid(HKEY key) { return key != nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
using TvxRegKey = TvxScoped<TvxRegKeyTraits>;

// A list of shell items that the shell allocated for the caller.
struct TvxItemIdListTraits {
    using THandle = LPITEMIDLIST;
    static LPITEMIDLIST Null() { return nullptr; }
    static bool Valid(LPITEMIDLIST list) { return list != nullptr; }
    static void Close(LPITEMIDLIST list) { CoTaskMemFree(list); }
};
using TvxItemIdList = TvxScoped<TvxItemIdListTraits>;

// A COM interface pointer, released once.
template <typename TInterface> struct TvxComTraits {
    using THandle = TInterface*;
    static TInterface* Null() { return nullptr; }
    static bool Valid(TInterface* pointer) { return pointer != nullptr; }
    static void Close(TInterface* pointer) { pointer->Release(); }
};
template <typename TInterface> using TvxComPtr = TvxScoped<TvxComTraits<TInterface>>;
