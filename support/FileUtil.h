#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Path and file operations every other part of the program uses instead of calling the
// platform directly. Booleans come back as 1 and 0; nothing here shows a message.
namespace Support {

inline constexpr char kSeparator = '/';

// The running executable's folder with exactly one trailing "/".
[[nodiscard]] std::string AppFolder();
// Puts the program folder elsewhere (a test's temporary folder, an embedding program); empty
// returns to the executable's folder.
void AppFolder(const std::string& pFolder);
// The folder of the system's own programs, with a trailing "/".
[[nodiscard]] std::string SystemFolder();

[[nodiscard]] int FileExists(const std::string& pPath);
[[nodiscard]] int FolderExists(const std::string& pPath);
// Creates one folder level; 0 when it exists already or its parent is missing.
[[nodiscard]] int MakeFolder(const std::string& pPath);

// 1 when the file is gone afterwards or was never there.
int DeleteFileSafe(const std::string& pPath);
// Never replaces an existing target unless pOverwrite asks to delete it first; ten tries.
[[nodiscard]] int RenameFileRetry(const std::string& pSource, const std::string& pTarget, int pOverwrite);
// Without pOverwrite an existing target makes the copy fail instead of being replaced.
[[nodiscard]] int CopyFileSafe(const std::string& pSource, const std::string& pTarget, int pOverwrite);

// Linux has no reserved device names: always 0.
[[nodiscard]] int IsReservedDeviceName(const std::string& pPath);

[[nodiscard]] std::string SetTrailingSeparator(const std::string& pPath, int pRemove);
[[nodiscard]] std::string EnsureExtension(const std::string& pPath, const std::string& pExtension);

// Concatenation of the chosen parts in this order: folder, separator, base name, dot, extension.
// pCase 1 lower-cases the result, 2 upper-cases it.
[[nodiscard]] std::string SplitPath(const std::string& pPath, int pFolder, int pBackslash, int pBaseName,
                                    int pDot, int pExtension, int pCase = 0);

// The named parts of SplitPath: the lower-cased extension without its dot ("wav"); the folder
// with its trailing separator ("/music/", empty for a bare name); the name without folder and
// extension ("song").
[[nodiscard]] std::string Extension(const std::string& pPath);
[[nodiscard]] std::string FolderOf(const std::string& pPath);
[[nodiscard]] std::string BaseName(const std::string& pPath);

// A name that no existing file has: the path itself, or base + number + extension.
[[nodiscard]] std::string MakeNumberedName(const std::string& pPath, int pKeepFolder, int pKeepExtension,
                                           int pDigits, int pForce);

// The path-like arguments of a command line: everything that is not an option (leading "-"),
// made absolute against pStartFolder.
[[nodiscard]] std::vector<std::string> ParseCommandLine(const std::vector<std::string>& pArguments,
                                                        const std::string& pStartFolder);
// The same for the process's own arguments, as recorded by SetCommandLine at start-up.
[[nodiscard]] std::vector<std::string> ParseCommandLine();
void SetCommandLine(int pArgc, const char* const* pArgv);

// Returns after at least pMilliseconds, letting queued events run all the while.
void WaitWithEvents(int pMilliseconds, int pSleepMilliseconds);
// Seconds since local midnight, clamped to 0 .. 86399.999.
[[nodiscard]] double SecondsSinceMidnight();
// Elapsed seconds between two readings of that clock, across midnight too.
[[nodiscard]] double ElapsedSinceMidnight(double pStart, double pNow) noexcept;

[[nodiscard]] std::string CutAtNul(const std::string& pText);
// Asks the desktop to open the path with its default handler; 1 when the request was made.
[[nodiscard]] int OpenWithShell(const std::string& pPath);

// Spaces removed at both ends, as the system's text fields are trimmed.
[[nodiscard]] std::string TrimSpaces(const std::string& pText);
// The text in lower case, non-ASCII letters included.
[[nodiscard]] std::string LowerCase(const std::string& pText);
// The 32-bit integer a text holds (blanks around it allowed), or nothing when it holds anything else.
[[nodiscard]] std::optional<std::int32_t> IntegerText(const std::string& pText);
// The same, with 0 for a text that is not a number, as the settings count an empty field.
[[nodiscard]] inline std::int32_t IntegerOrZero(const std::string& pText) {
    return IntegerText(pText).value_or(0);
}
// A rate in kHz as its shortest decimal text: 44100 gives "44.1", 22050 "22.05", 48000 "48".
[[nodiscard]] std::string KilohertzText(std::int32_t pRate);

} // namespace Support

namespace Support {

// Claims the first free numbered name for pPath (as MakeNumberedName with folder and extension
// kept) by creating it empty and exclusively, so that no other program can take it in between.
// Returns the claimed name, or an empty text when none could be created.
[[nodiscard]] std::string ClaimNumberedName(const std::string& pPath, int pDigits);

// Moves pSource to the first free numbered name for pPath without ever replacing a file, even
// one that appears while it works. Returns the final name, or an empty text.
[[nodiscard]] std::string MoveToNumberedName(const std::string& pSource, const std::string& pPath,
                                             int pDigits);

} // namespace Support
