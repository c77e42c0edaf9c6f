#pragma once

#include <string>

// Why a row ended without an output. Every front end names the same reasons in its own language:
// the command line in English, the window's tool tips in Japanese.
enum class FailReason {
    None,
    SourceMissing,    // not there when its turn came
    SourceVanished,   // went away while it was being read
    NotMpeg,          // an ".mp3" that is no MPEG audio
    CannotCreate,     // the output folder takes no new file (place: the folder)
    NoSpace,          // the output folder's disk is full (place: the folder)
    CannotCopy,       // the audio frames of a tagged MP3 could not be copied out
    CannotDecode,     // no decoder made a WAV file of it
    NoReader,         // nothing installed on this machine reads its format
    DecodeStalled,    // the decoder stopped moving and was given up
    NoAudio,          // there are no samples to convert or encode
    NoTargetMode,     // the mode list shows no selection
    NoTargetRate,     // the rate list shows no selection
    ConversionFailed, // the converter did not finish its file
    EncodingFailed,   // the MP3 encoder did not finish its file
    CommandFile,      // the MP2 command file could not be written (place: its path)
    RatesTooFarApart, // high quality converts rates at most 256 times apart (place: the file's rate)
    Unexpected,       // an error the driver trapped
};

// pPlace is the folder or file the reason names, when it names one.
[[nodiscard]] std::string FailReasonText(FailReason pReason, const std::string& pPlace = {});
[[nodiscard]] std::string FailReasonTextJa(FailReason pReason, const std::string& pPlace = {});
