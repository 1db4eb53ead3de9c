#pragma once

#include <string>

namespace platform {

// A shared library loaded at run time, with all its symbols bound at once and
// kept to itself (none is offered to libraries loaded later). Unloaded when
// the object goes. Move-only.
class SharedLibrary {
public:
    SharedLibrary() = default;
    // Loads the library at `path`; on failure nothing is loaded and error()
    // tells why.
    explicit SharedLibrary(const std::string& path);
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool loaded() const { return m_handle != nullptr; }
    // The loader's reason when loading failed; empty otherwise.
    const std::string& error() const { return m_error; }

    // The address of the exported symbol `name`; null when the library is not
    // loaded or has no such symbol.
    void* symbol(const char* name) const;

    // The exported function `name` as a pointer of type `Function`; null as
    // for symbol(). The caller vouches for the type.
    template <typename Function>
    Function function(const char* name) const {
        return reinterpret_cast<Function>(symbol(name));
    }

private:
    void unload();

    void* m_handle = nullptr;
    std::string m_error;
};

}  // namespace platform
