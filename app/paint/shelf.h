// The brush shelf: the last cut or loaded brushes, newest first, each with
// its handle and transparent colour. Pinned brushes stay when new ones
// arrive; the others give way once the shelf is full. The shelf is kept in a
// folder of frame files, one per brush, each written through a temporary
// file and a rename; the order and the pin are in the file names. Qt-free.
#pragma once

#include "paint/brush.h"

#include <pixkit/buffer.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

struct ShelfEntry {
    pixkit::Buffer Brush; // owned; transparent pixels are the marker
    int Handle = bhCentre;
    pixkit::Pixel Background = 0; // the colour the transparent pixels stand for
    bool Pinned = false;
    std::uint64_t Serial = 0; // larger is newer; names the file
};

class BrushShelf {
  public:
    static constexpr int kCapacity = 12;

    // dir: the folder with a trailing "/" (created when a brush is first
    // kept); empty keeps nothing on disk.
    explicit BrushShelf(std::string dir);

    // Reads the folder: every good file becomes an entry; a damaged one is
    // left out with a log line and renamed to "<name>.damaged".
    void Load();

    const std::vector<std::unique_ptr<ShelfEntry>>& Entries() const { return entries_; }
    // Puts a copy of the brush in front. The same brush already on the shelf
    // moves to the front instead. When the shelf is full the oldest brush
    // that is not pinned goes; with every brush pinned the new one is not
    // kept.
    void Add(const BrushState& brush);
    void SetPinned(std::size_t index, bool pinned);
    void Remove(std::size_t index);
    // Makes entry index the current brush as Restore does: the brush in use
    // is kept for Restore, the entry's pixels, handle and transparent colour
    // become the user brush painting in its own colours.
    void Use(std::size_t index, BrushState& brush) const;

    // After every change of the entries.
    std::function<void()> Changed;

  private:
    std::string FileName(const ShelfEntry& e) const;
    void Write(const ShelfEntry& e) const;
    void Erase(const ShelfEntry& e) const;
    void Notify() const;

    std::string dir_;
    std::vector<std::unique_ptr<ShelfEntry>> entries_;
    std::uint64_t nextSerial_ = 1;
};

// The shelf of the running main window (null without one).
BrushShelf* Shelf();
void SetShelf(BrushShelf* shelf);

} // namespace kv
