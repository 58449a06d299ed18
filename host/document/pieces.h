// A file's bytes as the pieces that make it up, in order: stretches of a
// text as read and what changed between them, so that a large score goes to
// the file without being copied whole once more.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace host {

struct Pieces {
    // Views into text that outlives the pieces, or into owned.
    std::vector<std::string_view> views;
    std::deque<std::string> owned;  // a deque: its strings stay where they are

    void Add(std::string_view view) {
        if (!view.empty()) views.push_back(view);
    }
    void Own(std::string text) {
        owned.push_back(std::move(text));
        Add(owned.back());
    }
    std::size_t Size() const {
        std::size_t size = 0;
        for (std::string_view view : views) size += view.size();
        return size;
    }
    std::string Joined() const {
        std::string joined;
        joined.reserve(Size());
        for (std::string_view view : views) joined += view;
        return joined;
    }
};

}  // namespace host
