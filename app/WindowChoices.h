#pragma once

#include "app/BatchHost.h"
#include "support/FileUtil.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class C_mp3acm;

// The window's option controls without the window: what start-up restores from the user's
// settings, which a front end may then change as a user would click them.
struct WindowChoices {
    // The rate list's selected text; empty when the stored rate matched no entry.
    std::string Freq = "44100";
    // The mode list's selected index; -1 for no selection.
    int Mode = 3;
    int DecodeOnly = 0;
    int UseDither = 1;
    int HighQuality = 0;
    int Encmp3 = 0;
    // The MP3 rate to select when the codec offers it.
    std::int32_t Mp3BitRate = 128;
    int Encmp2 = 0;
    std::string Mp2BitRate;
    std::string Mp2Mode;
    std::string SoundPath;
    int CopyTags = 1;
    // Rows converted at once ("Jobs"): 0 one per processor, 1 one after the other as the window
    // always did, more that many.
    int Jobs = 0;
};

// The MP2 bit rates and stereo modes the window offers, in list order.
[[nodiscard]] const std::vector<std::string>& Mp2BitRateTexts();
[[nodiscard]] const std::vector<std::string>& Mp2ModeTexts();

// Reads the settings the window restores at start-up, with the window's defaults and its rules
// for values that match no entry. "Encmp2" is read only when the MP2 encoder is present.
[[nodiscard]] WindowChoices LoadSavedChoices(bool pMp2Available);

// Shut-down: writes what the window's controls show, in the window's order and spellings
// ("mp2BitRate" with a capital B; the three rates only when their text is numeric, so that a stored
// rate no entry matches is not overwritten; "mp2Mode" as its word), then Tolvane's own choices.
// The first error ends the writing.
void SaveChoices(const BatchOptions& pShown);

// The option values the driver reads, with the enabled states the window would give the
// controls: decode-only disables every target and encoder choice, and MP3 needs a 16-bit mode
// and a rate the codec offers.
[[nodiscard]] BatchOptions ChoicesToOptions(const WindowChoices& pChoices, C_mp3acm& pEncoder,
                                            bool pMp2Available);

// The processors this process may run on: the online ones, fewer under an affinity mask.
[[nodiscard]] int ProcessorCount();
// How many rows a run takes at once for a "Jobs" value: 0 (or less) one per processor.
[[nodiscard]] int RowsAtOnce(int pJobs);

// The integer value of a control's or setting's text, when the whole text (spaces aside) is one.
using Support::IntegerText;

// A mode given as its name (any case) or number; -1 when it is not a target mode.
[[nodiscard]] int ParseTargetMode(const std::string& pText);
// One of the four MP2 stereo modes by name (any case); empty when it is none of them.
[[nodiscard]] std::string ParseMp2Mode(const std::string& pText);
