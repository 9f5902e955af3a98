// An optional number of the object model, held inside its record and used
// like the owning pointer it stands for: test it (`if (point->ele)`, `!= nullptr`),
// read it (`*point->ele`), set it from `new` (the value is taken and the
// pointer freed at once, as the record would have freed it later) or clear it
// with nullptr. A long track holds millions of these; holding them inline
// spares one heap block per value.
//
// It converts to no pointer, so `delete point->ele` does not compile rather
// than freeing a value the record holds; get() gives a pointer to read
// through, valid while the record lives and the value is present.
#pragma once

#include <cstddef>

template <typename T>
class GPXOptional {
public:
    GPXOptional() = default;
    GPXOptional(std::nullptr_t) {}
    GPXOptional(const GPXOptional&) = default;
    GPXOptional& operator=(const GPXOptional&) = default;

    // Takes the value of a T made with new, and deletes it; null clears.
    GPXOptional& operator=(T* owned)
    {
        if (owned) {
            value = *owned;
            present = true;
            delete owned;
        } else {
            present = false;
        }
        return *this;
    }
    GPXOptional& operator=(std::nullptr_t)
    {
        present = false;
        return *this;
    }
    void Set(const T& newValue)
    {
        value = newValue;
        present = true;
    }
    void Reset() { present = false; }

    explicit operator bool() const { return present; }
    T& operator*() { return value; }
    const T& operator*() const { return value; }
    T* get() { return present ? &value : nullptr; }
    const T* get() const { return present ? &value : nullptr; }

    friend bool operator==(const GPXOptional& a, std::nullptr_t) { return !a.present; }
    friend bool operator==(std::nullptr_t, const GPXOptional& a) { return !a.present; }
    friend bool operator!=(const GPXOptional& a, std::nullptr_t) { return a.present; }
    friend bool operator!=(std::nullptr_t, const GPXOptional& a) { return a.present; }

private:
    T value{};
    bool present = false;
};
