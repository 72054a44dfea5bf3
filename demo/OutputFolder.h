#pragma once

// The folder the demo writes its pictures, its page and the server's journals into. A run of the
// demo removes nothing it did not write: it takes a folder that is missing or empty, or one that
// an earlier run wrote, and of that folder it removes only what the earlier run wrote. Each run
// lists what it writes, as it writes it, in the folder's ".brindlecue-demo"; a folder an earlier
// version of the demo wrote, without that list, is known by its page, which names its pictures.
// A folder that holds anything and is known by neither is refused. A folder the demo wrote keeps
// what the user added there: the run leaves it as it is, and is refused only when it bears the
// name of the page, a journal or the app's sandbox, which every run writes (a picture whose name
// is taken that way is left out of the run).

#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace brindlecue::demo {

class OutputFolder {
public:
    // The list of what a run wrote, and its first line.
    static constexpr const char* kListName = ".brindlecue-demo";
    static constexpr const char* kListHeader = "brindlecue-demo output";

    // Takes the folder for a run: creates it when it is missing, or removes what the earlier run
    // wrote, and starts the run's list. Fails, with *error saying why and nothing removed, when
    // the path is not a folder, when the folder holds anything but is not one the demo wrote, or
    // when something no run wrote has the name of the page, a journal or the sandbox.
    static std::optional<OutputFolder> take(const std::filesystem::path& dir, std::string* error);

    const std::filesystem::path& path() const { return dir_; }

    // The path of a file the run is about to write ("events.json"), or of a folder it makes and
    // owns whole ("container/"), noted in the list first. Empty when the name is not a plain name
    // or something the run did not write is already there (the run then leaves it alone).
    std::filesystem::path add(const std::string& name);

    // A name a run may note: a file or folder right in the output folder, no path.
    static bool isPlainName(const std::string& name);

private:
    explicit OutputFolder(std::filesystem::path dir) : dir_(std::move(dir)) {}

    std::filesystem::path dir_;
    std::set<std::string> added_;
};

}  // namespace brindlecue::demo
