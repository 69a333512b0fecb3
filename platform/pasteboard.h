// The general pasteboard: the place settings are copied to and pasted from.
// The application installs the system clipboard; until then (and in tests)
// an in-memory pasteboard serves. Only the string type is used: its text,
// and the same text as bytes (which may hold a property list).
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace dvk {

class Pasteboard {
public:
    virtual ~Pasteboard() = default;
    // Declares the string type as the only content and puts `text` on it;
    // false when the pasteboard refused it.
    virtual bool setString(std::string_view text) = 0;
    // Whether the pasteboard holds the string type.
    virtual bool hasString() const = 0;
    // The content of the string type, nullopt when there is none.
    virtual std::optional<std::string> string() const = 0;
    // The raw bytes of the string type (UTF-8), nullopt when there are none.
    virtual std::optional<std::string> dataForString() const { return string(); }
    virtual void clearContents() = 0;
};

// A pasteboard held in memory.
class MemoryPasteboard : public Pasteboard {
public:
    bool setString(std::string_view text) override;
    bool hasString() const override;
    std::optional<std::string> string() const override;
    void clearContents() override;

private:
    mutable std::mutex mutex_;
    std::optional<std::string> text_;
};

// The pasteboard that settings copy and paste use. Starts as a process-wide
// MemoryPasteboard; set_general_pasteboard replaces it (nullptr restores the
// in-memory one).
std::shared_ptr<Pasteboard> general_pasteboard();
void set_general_pasteboard(std::shared_ptr<Pasteboard> pasteboard);

}  // namespace dvk
