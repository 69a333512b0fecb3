// Allocator object of the CGATS library. Every allocation of a cgats object, its
// tokenizer and its file objects goes through one of these, so a caller can hand
// in its own (a counting or failing one in tests). cgats_allocator adapts it for
// the standard containers the library keeps its tables in.
#pragma once

#include <cstddef>
#include <new>
#include <string>
#include <vector>

namespace dvk {

class cgats_alloc {
public:
    virtual void* malloc(std::size_t size) = 0;
    virtual void* calloc(std::size_t count, std::size_t size) = 0;
    virtual void* realloc(void* block, std::size_t size) = 0;
    virtual void free(void* block) = 0;
    // Frees the allocator object itself.
    virtual void del() = 0;

    cgats_alloc(const cgats_alloc&) = delete;
    cgats_alloc& operator=(const cgats_alloc&) = delete;

protected:
    cgats_alloc() = default;
    virtual ~cgats_alloc() = default;
};

// The standard allocator: the system's malloc, calloc, realloc and free. NULL
// when the allocator object itself cannot be made.
cgats_alloc* new_std_alloc();

// Standard-library allocator over a cgats_alloc. A failed allocation throws
// std::bad_alloc; the library catches it at its operation boundary and turns it
// into a -2 result.
template <class T>
class cgats_allocator {
public:
    using value_type = T;
    using propagate_on_container_copy_assignment = std::true_type;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;
    using is_always_equal = std::false_type;

    explicit cgats_allocator(cgats_alloc* al) noexcept : al_(al) {}
    template <class U>
    cgats_allocator(const cgats_allocator<U>& other) noexcept : al_(other.get()) {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        void* p = al_->malloc(n * sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) noexcept { al_->free(p); }

    cgats_alloc* get() const noexcept { return al_; }

    template <class U>
    bool operator==(const cgats_allocator<U>& other) const noexcept { return al_ == other.get(); }

private:
    cgats_alloc* al_;
};

template <class T>
using cgats_vector = std::vector<T, cgats_allocator<T>>;
using cgats_string = std::basic_string<char, std::char_traits<char>, cgats_allocator<char>>;

// Makes room for one more element, growing a full vector's capacity by `step`
// (the tables grow in such steps); false when the allocator refuses.
template <class T>
bool room_for_one_more(cgats_vector<T>& v, std::size_t step) {
    try {
        if (v.size() == v.capacity()) v.reserve(v.capacity() + step);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace dvk
