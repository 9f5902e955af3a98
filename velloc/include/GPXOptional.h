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
#include <cstdint>
#include <cstring>
#include <limits>

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

// Numbers with a fraction carry their absence in the value itself: one quiet
// NaN, with a payload that arithmetic never makes, stands for "none", so the
// optional number takes no more room than the number (most of a point's
// fields are these). A NaN a caller sets is kept as another NaN.
template <>
class GPXOptional<double> {
public:
    GPXOptional() = default;
    GPXOptional(std::nullptr_t) {}
    GPXOptional(const GPXOptional&) = default;
    GPXOptional& operator=(const GPXOptional&) = default;

    // Takes the value of a double made with new, and deletes it; null clears.
    GPXOptional& operator=(double* owned)
    {
        if (owned) {
            Set(*owned);
            delete owned;
        } else {
            Reset();
        }
        return *this;
    }
    GPXOptional& operator=(std::nullptr_t)
    {
        Reset();
        return *this;
    }
    void Set(double newValue) { value = IsNone(newValue) ? std::numeric_limits<double>::quiet_NaN() : newValue; }
    void Reset() { value = None(); }

    explicit operator bool() const { return !IsNone(value); }
    double& operator*() { return value; }
    const double& operator*() const { return value; }
    double* get() { return IsNone(value) ? nullptr : &value; }
    const double* get() const { return IsNone(value) ? nullptr : &value; }

    friend bool operator==(const GPXOptional& a, std::nullptr_t) { return !a; }
    friend bool operator==(std::nullptr_t, const GPXOptional& a) { return !a; }
    friend bool operator!=(const GPXOptional& a, std::nullptr_t) { return static_cast<bool>(a); }
    friend bool operator!=(std::nullptr_t, const GPXOptional& a) { return static_cast<bool>(a); }

private:
    static constexpr std::uint64_t kNoneBits = 0x7FF8'0000'6E6F'6E65ull;
    static double None()
    {
        double none;
        std::memcpy(&none, &kNoneBits, sizeof none);
        return none;
    }
    static bool IsNone(double v)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return bits == kNoneBits;
    }

    double value = None();
};
