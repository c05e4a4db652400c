#pragma once

#include <gst/gst.h>

#include <utility>

// Owns one reference to a GObject (a GStreamer element, pad, bus …) and drops it on destruction.
// `adopt` takes over a reference the caller already owns, sinking a floating one; `share` adds a
// reference of its own. Move-only.
template <typename T> class GstRef {
public:
    GstRef() = default;
    static GstRef adopt(T* object) {
        GstRef ref;
        if (object && g_object_is_floating(object))
            g_object_ref_sink(object); // floating → a full reference, no extra count
        ref.m_object = object;
        return ref;
    }
    static GstRef share(T* object) {
        GstRef ref;
        ref.m_object = object ? static_cast<T*>(g_object_ref(object)) : nullptr;
        return ref;
    }
    GstRef(const GstRef&) = delete;
    GstRef& operator=(const GstRef&) = delete;
    GstRef(GstRef&& other) noexcept
        : m_object(std::exchange(other.m_object, nullptr)) {}
    GstRef& operator=(GstRef&& other) noexcept {
        if (this != &other) {
            reset();
            m_object = std::exchange(other.m_object, nullptr);
        }
        return *this;
    }
    ~GstRef() { reset(); }

    T* get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    // Hands the reference to the caller.
    T* release() { return std::exchange(m_object, nullptr); }
    void reset() {
        if (m_object)
            g_object_unref(m_object);
        m_object = nullptr;
    }

private:
    T* m_object = nullptr;
};
