// Files and folders for tests: where the built programs lie, temporary
// folders, whole-file reads and writes, copies of programs.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace norvale::testbed {

// The folder of the running test program, without a trailing backslash.
// Every program and stand-in of the build lands there (<build>\bin).
std::string testBinFolder();

// folder + "\" + name.
std::string joinPath(const std::string& folder, const std::string& name);

// A program of the build: testBinFolder() + "\" + name.
std::string binPath(const std::string& name);

bool pathExists(const std::string& path);
bool folderExists(const std::string& path);

// The names of the folders in folder (without "." and ".."), in the order
// the system lists them.
std::vector<std::string> folderNamesIn(const std::string& folder);

// Creates the folder and every missing folder above it.
bool createFolders(const std::string& path);

// Deletes a file or a folder with everything in it, read-only entries
// included. True when nothing is left at path (also when nothing was there).
bool removeTree(const std::string& path);

// A Linux symbolic link at link to the folder target (both Windows paths in
// the prefix), as a user could make one: Wine shows it as a folder with
// FILE_ATTRIBUTE_REPARSE_POINT. removeTree removes the link, never what it
// points to.
bool makeFolderLink(const std::string& link, const std::string& target);

// The short (8.3) form of an existing path given by its wide name, as the
// ANSI interface opens it; empty when it has none.
std::string shortPathOf(const std::wstring& path);
// An ANSI text (a path, a program's output) in its wide form, of any length.
std::wstring wide(const std::string& text);

// Writes bytes as the whole content of path (created or replaced).
bool writeWholeFile(const std::string& path, const std::string& bytes);

// The whole content of path, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);

// Copies the named programs (file names in testBinFolder()) into folder.
bool copyPrograms(const std::string& folder, const std::vector<std::string>& names);

// A new, empty folder under the system's temporary folder, removed with its
// content when the owner goes. Its name holds a blank by default, because
// programs must cope with installation folders like "C:\Program Files".
class TempFolder {
public:
    explicit TempFolder(const std::string& label = "norvale test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool valid() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return joinPath(path_, name); }

private:
    std::string path_;
};

// A tmpfs volume of the given size mounted over an existing folder for the
// owner's lifetime, hiding what the folder held: a full disk or quota as a
// user meets it. Its end waits a while for the folder to be released and
// then detaches the volume lazily; a volume that cannot be released fails
// the test that mounted it. Where the run has a mount namespace of its own
// (run-tests), a mount left behind ends with the run at the latest.
class SmallVolume {
public:
    SmallVolume(const std::string& folder, unsigned kilobytes);
    ~SmallVolume();
    SmallVolume(const SmallVolume&) = delete;
    SmallVolume& operator=(const SmallVolume&) = delete;

    // Mounted, with the size the system reports for the folder.
    bool mounted() const { return mounted_; }
    // Gives the volume a new size, keeping its files.
    bool resize(unsigned kilobytes);

private:
    bool remount(const std::string& options, unsigned kilobytes);

    std::string folder_;
    std::string unixFolder_;
    bool mounted_ = false;
};

// Releases every small volume still mounted (one that a test that crashed
// or ran out of time left behind), so that the next test starts on the
// real folders. True when none is left.
bool releaseSmallVolumes();

}  // namespace norvale::testbed
