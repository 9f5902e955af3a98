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

// How an optional value is held: the value and a flag beside it.
template <typename T>
class GPXOptionalStorage {
protected:
    bool Has() const { return present; }
    void Put(const T& newValue)
    {
        value = newValue;
        present = true;
    }
    void Clear() { present = false; }

    T value{};

private:
    bool present = false;
};

// Numbers with a fraction carry their absence in the value itself: one quiet
// NaN, with a payload that arithmetic never makes, stands for "none", so the
// optional number takes no more room than the number (most of a point's
// fields are these). A NaN a caller sets is kept as another NaN.
template <>
class GPXOptionalStorage<double> {
protected:
    bool Has() const { return !IsNone(value); }
    void Put(double newValue) { value = IsNone(newValue) ? std::numeric_limits<double>::quiet_NaN() : newValue; }
    void Clear() { value = None(); }

    double value = None();

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
};

template <typename T>
class GPXOptional : private GPXOptionalStorage<T> {
    using Storage = GPXOptionalStorage<T>;

public:
    GPXOptional() = default;
    GPXOptional(std::nullptr_t) {}
    GPXOptional(const GPXOptional&) = default;
    GPXOptional& operator=(const GPXOptional&) = default;

    // Takes the value of a T made with new, and deletes it; null clears.
    GPXOptional& operator=(T* owned)
    {
        if (owned) {
            Storage::Put(*owned);
            delete owned;
        } else {
            Storage::Clear();
        }
        return *this;
    }
    GPXOptional& operator=(std::nullptr_t)
    {
        Storage::Clear();
        return *this;
    }
    void Set(const T& newValue) { Storage::Put(newValue); }
    void Reset() { Storage::Clear(); }

    explicit operator bool() const { return Storage::Has(); }
    T& operator*() { return this->value; }
    const T& operator*() const { return this->value; }
    T* get() { return Storage::Has() ? &this->value : nullptr; }
    const T* get() const { return Storage::Has() ? &this->value : nullptr; }

    friend bool operator==(const GPXOptional& a, std::nullptr_t) { return !a; }
    friend bool operator==(std::nullptr_t, const GPXOptional& a) { return !a; }
    friend bool operator!=(const GPXOptional& a, std::nullptr_t) { return static_cast<bool>(a); }
    friend bool operator!=(std::nullptr_t, const GPXOptional& a) { return static_cast<bool>(a); }
};

static_assert(sizeof(GPXOptional<double>) == sizeof(double), "an optional number takes no more room than the number");
