// Parsed forms of the files the simulated machine reads again and again (the
// settings file, the INFs), kept by their bytes. A file is still read on
// every call, so each call sees what the file holds at that moment, as on
// Windows; only the parse of bytes seen before is saved. A package checked
// run after run on fresh copies of itself is parsed once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace sim {

template <typename Parsed>
class ParsedFileCache {
public:
    // The parse of `bytes` read with `code_page`: the one kept from the same
    // bytes and code page, or parse() of them now, kept in place of the one
    // used longest ago.
    template <typename Parse>
    std::shared_ptr<const Parsed> get(std::string_view bytes, uint32_t code_page, Parse parse)
    {
        for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
            if (entry->code_page == code_page && entry->bytes == bytes) {
                entries_.splice(entries_.begin(), entries_, entry);
                return entries_.front().parsed;
            }
        }
        auto parsed = std::make_shared<const Parsed>(parse(bytes));
        entries_.push_front(Entry{code_page, std::string(bytes), parsed});
        if (entries_.size() > CAPACITY) entries_.pop_back();
        return parsed;
    }

private:
    // A settings file and the INFs of a layout-2 package's buses.
    static constexpr size_t CAPACITY = 8;

    struct Entry {
        uint32_t code_page;
        std::string bytes;
        std::shared_ptr<const Parsed> parsed;
    };
    std::list<Entry> entries_;  // the one used last first
};

}  // namespace sim
