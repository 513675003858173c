#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Reads the index document by path ("/vaultrowan/file[3]") straight from its raw text, the
// way the index is written: tag names are found without regard to letter case, a name
// followed by anything but a blank or ">" is a longer name, and values are taken as they
// stand, with no unescaping. One query object serves one thread.
//
// A select leaves behind the matched element (`value`), its name, and the inside of the
// element one level up, in which `count` counts the elements of that name.
class IndexQuery {
  public:
    IndexQuery() = default;
    IndexQuery(const IndexQuery&) = delete;
    IndexQuery& operator=(const IndexQuery&) = delete;

    // Replaces the document. What the last select left behind stays as it was.
    void load(std::string text);

    // Finds the element the path names: "/" and names separated by "/", each name with an
    // optional index "[n]" counted from 0. On failure nothing is selected.
    bool select(const std::string& path);

    // The content of the selected element without the line ends right inside its tags;
    // empty when nothing is selected.
    std::string value() const;

    // How many elements with the selected name the enclosing element holds at its own
    // level (1 when there is no enclosing element).
    unsigned count() const;

  private:
    // A document with the places of the tag texts searched in it so far. Selects over a
    // large index ask for the same tags again and again (file[0], file[1], ...); finding
    // each tag's places once keeps a whole release linear in the size of the index.
    struct Document {
        struct Hits {
            std::vector<std::size_t> all;    // every place, in order
            std::vector<std::size_t> closed; // places followed by a blank or ">"
        };
        std::string text;
        std::map<std::string, Hits> hits; // by tag text folded to lower case

        const Hits& hitsOf(const std::string& tagText);
    };

    // A stretch of one document. Texts kept from an earlier document stay valid after a
    // new load, since they hold on to their own document.
    struct Slice {
        std::shared_ptr<Document> document;
        std::size_t begin = 0;
        std::size_t end = 0;

        bool empty() const { return begin >= end; }
    };

    std::shared_ptr<Document> document_;
    Slice parent_;
    Slice current_;
    std::string currentName_;
};
