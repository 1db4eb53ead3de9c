#include "platform/SharedLibrary.h"

#include <dlfcn.h>

#include <utility>

namespace platform {

SharedLibrary::SharedLibrary(const std::string& path) {
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        const char* reason = ::dlerror();
        m_error = reason != nullptr ? reason : "cannot load " + path;
    }
}

SharedLibrary::~SharedLibrary() {
    unload();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_error(std::move(other.m_error)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        unload();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_error = std::move(other.m_error);
    }
    return *this;
}

void* SharedLibrary::symbol(const char* name) const {
    return m_handle != nullptr ? ::dlsym(m_handle, name) : nullptr;
}

void SharedLibrary::unload() {
    if (m_handle != nullptr) {
        ::dlclose(m_handle);
        m_handle = nullptr;
    }
}

}  // namespace platform
