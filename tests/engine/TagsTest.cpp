#include "engine/Tags.h"

#include "tests/app/AppTestFiles.h"
#include "tests/common/Id3Bytes.h"
#include "tests/common/TestFiles.h"

#include <gtest/gtest.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>

#include <functional>
#include <map>

using namespace TestFiles;

namespace {

using Fields = std::map<std::string, std::vector<std::string>>;

const std::string kCover = Id3Bytes::FakeJpeg(3000);

TagLib::String U(const std::string& pText) {
    return TagLib::String(pText, TagLib::String::UTF8);
}

TagLib::PropertyMap ToMap(const Fields& pFields) {
    TagLib::PropertyMap map;
    for (const auto& [key, values] : pFields) {
        TagLib::StringList list;
        for (const std::string& value : values)
            list.append(U(value));
        map.insert(U(key), list);
    }
    return map;
}

// The fields a tagger writes into every kind of source: two artists, two genres, Japanese text
// throughout, and MOOD, which ID3v2.3 has no frame for.
Fields CommonFields() {
    return {{"TITLE", {"夏の海辺で"}},
            {"ARTIST", {"アーティストA", "Artist B"}},
            {"ALBUM", {"ピアノ練習曲 第3番"}},
            {"ALBUMARTIST", {"東京事変"}},
            {"TRACKNUMBER", {"3/12"}},
            {"DISCNUMBER", {"1/2"}},
            {"DATE", {"2019-05-04"}},
            {"GENRE", {"ジャズ", "Pop"}},
            {"COMMENT", {"テストのコメント"}},
            {"COMPOSER", {"作曲家"}},
            {"MOOD", {"静か"}}};
}

TagLib::FLAC::Picture* NewFlacPicture() {
    auto picture = std::make_unique<TagLib::FLAC::Picture>();
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType("image/jpeg");
    picture->setData(TagLib::ByteVector(kCover.data(), unsigned(kCover.size())));
    return picture.release();
}

std::string Stored(const std::string& pPath) {
    const Bytes bytes = ReadFile(pPath);
    return std::string(bytes.begin(), bytes.end());
}

// Decoded by the mpg123 program, which honours the encoder's Info frame: the PCM it writes.
std::string Decoded(const std::string& pMp3) {
    const std::string wav = pMp3 + ".decoded.wav";
    const std::string command = "mpg123 -q -w '" + wav + "' '" + pMp3 + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return Stored(wav);
}

class TagsTest : public ::testing::Test {
protected:
    TempDir Dir;
    std::string Plain;

    void SetUp() override {
        Plain = Dir / "plain.mp3";
        ASSERT_TRUE(AppTestFiles::MakeMp3(Plain, 1.0, false));
    }

    // Reads pSource, writes its tags in front of the plain MP3 and checks the output: the tag
    // first, the encoder's bytes unchanged behind it, ID3v2.3 with UTF-16 text, every field and
    // the cover read back equal, the same samples decoded.
    void ExpectCarried(const std::string& pSource, const Fields& pRecordFields, bool pCover) {
        const Tags::TagRecord record = Tags::ReadTags(pSource);
        for (const auto& [key, values] : pRecordFields) {
            const std::vector<std::string>* read = record.Find(key);
            ASSERT_NE(read, nullptr) << key;
            EXPECT_EQ(*read, values) << key;
        }
        ASSERT_EQ(record.Cover.has_value(), pCover);
        if (pCover) {
            EXPECT_EQ(record.Cover->Data, kCover);
        }

        const std::string out = Dir / "out.mp3";
        ASSERT_TRUE(Tags::WriteMp3(Plain, out, record));
        const std::string bytes = Stored(out);
        const std::string plain = Stored(Plain);
        ASSERT_EQ(bytes.substr(0, 6), std::string("ID3\x03\x00\x00", 6));
        std::size_t tagSize = 10;
        for (int i = 6; i < 10; ++i)
            tagSize += std::size_t(static_cast<unsigned char>(bytes[std::size_t(i)])) << (7 * (9 - i));
        EXPECT_EQ(bytes.substr(tagSize), plain) << "the encoder's frames follow the tag unchanged";
        EXPECT_EQ(Decoded(out), Decoded(Plain));

        TagLib::MPEG::File file(out.c_str(), false);
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        ASSERT_NE(tag, nullptr);
        EXPECT_EQ(tag->header()->majorVersion(), 3u);
        for (const TagLib::ID3v2::Frame* frame : tag->frameList()) {
            const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frame);
            const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame);
            const std::string id(frame->frameID().data(), frame->frameID().size());
            if (text != nullptr) {
                EXPECT_EQ(text->textEncoding(), TagLib::String::UTF16) << id;
            }
            if (comment != nullptr) {
                EXPECT_EQ(comment->textEncoding(), TagLib::String::UTF16) << id;
            }
        }
        const TagLib::PropertyMap written = tag->properties();
        for (const auto& [key, values] : pRecordFields) {
            std::string joined;
            for (const std::string& value : values)
                joined += (joined.empty() ? "" : key == "COMMENT" ? "\n" : "/") + value;
            ASSERT_TRUE(written.contains(U(key))) << key;
            EXPECT_EQ(written[U(key)].toString().to8Bit(true), joined) << key;
        }
        const TagLib::ID3v2::FrameList pictures = tag->frameList("APIC");
        ASSERT_EQ(pictures.size(), pCover ? 1u : 0u);
        if (pCover) {
            const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(pictures.front());
            EXPECT_EQ(picture->type(), TagLib::ID3v2::AttachedPictureFrame::FrontCover);
            EXPECT_EQ(picture->mimeType(), "image/jpeg");
            EXPECT_EQ(std::string(picture->picture().data(), picture->picture().size()), kCover);
        }
    }
};

TEST_F(TagsTest, Id3v24Utf8Mp3) {
    const std::string source = Dir / "v24.mp3";
    ASSERT_TRUE(AppTestFiles::MakeMp3(source, 1.0, false));
    {
        TagLib::MPEG::File file(source.c_str(), false);
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
        tag->setProperties(ToMap(CommonFields()));
        for (TagLib::ID3v2::Frame* frame : tag->frameList())
            if (auto* text = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(frame))
                text->setTextEncoding(TagLib::String::UTF8);
        auto picture = std::make_unique<TagLib::ID3v2::AttachedPictureFrame>();
        picture->setTextEncoding(TagLib::String::UTF8);
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        picture->setMimeType("image/jpeg");
        picture->setPicture(TagLib::ByteVector(kCover.data(), unsigned(kCover.size())));
        tag->addFrame(picture.release());
        ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4));
    }
    ExpectCarried(source, CommonFields(), true);
}

TEST_F(TagsTest, Id3v23ShiftJisMarkedLatin1Mp3) {
    const std::string source = Dir / "sjis.mp3";
    Bytes bytes = Id3Bytes::ShiftJisTag(kCover);
    const Bytes plain = ReadFile(Plain);
    bytes.insert(bytes.end(), plain.begin(), plain.end());
    WriteFile(source, bytes);
    Fields fields;
    for (const auto& [key, value] : Id3Bytes::kShiftJisFields)
        fields[key] = {value};
    fields["DATE"] = {"2019-05-04"};
    ExpectCarried(source, fields, true);
    EXPECT_EQ(Tags::ReadTags(source).Cover->Description, "表紙") << "a Shift_JIS trail byte 0x5C";
}

TEST_F(TagsTest, M4a) {
    const std::string source = Dir / "a.m4a";
    ASSERT_TRUE(AppTestFiles::MakeWithGst(source, "avenc_aac ! mp4mux", 1.0));
    {
        TagLib::MP4::File file(source.c_str(), false);
        file.tag()->setProperties(ToMap(CommonFields()));
        TagLib::MP4::CoverArtList covers;
        covers.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::JPEG,
                                            TagLib::ByteVector(kCover.data(), unsigned(kCover.size()))));
        file.tag()->setItem("covr", covers);
        ASSERT_TRUE(file.save());
    }
    ExpectCarried(source, CommonFields(), true);
}

// Vorbis comments count tracks and discs in fields of their own.
Fields WithTotalsApart() {
    Fields fields = CommonFields();
    fields["TRACKNUMBER"] = {"3"};
    fields["TRACKTOTAL"] = {"12"};
    fields["DISCNUMBER"] = {"1"};
    fields["DISCTOTAL"] = {"2"};
    return fields;
}

TEST_F(TagsTest, OggVorbis) {
    const std::string source = Dir / "a.ogg";
    ASSERT_TRUE(AppTestFiles::MakeWithGst(source, "vorbisenc ! oggmux", 1.0));
    {
        TagLib::Ogg::Vorbis::File file(source.c_str(), false);
        file.tag()->setProperties(ToMap(WithTotalsApart()));
        file.tag()->addPicture(NewFlacPicture());
        ASSERT_TRUE(file.save());
    }
    ExpectCarried(source, CommonFields(), true);
}

// The comment as DESCRIPTION, as ffmpeg writes it, and the names of the tools that made the file,
// which say nothing true about the output.
TEST_F(TagsTest, Flac) {
    const std::string source = Dir / "a.flac";
    ASSERT_TRUE(AppTestFiles::MakeWithGst(source, "flacenc", 1.0));
    {
        Fields fields = WithTotalsApart();
        fields["DESCRIPTION"] = fields["COMMENT"];
        fields.erase("COMMENT");
        fields["ENCODER"] = {"Lavf59.27.100"};
        fields["ENCODEDBY"] = {"a ripper"};
        TagLib::FLAC::File file(source.c_str(), false);
        file.xiphComment(true)->setProperties(ToMap(fields));
        file.addPicture(NewFlacPicture());
        ASSERT_TRUE(file.save());
    }
    ExpectCarried(source, CommonFields(), true);
    const Tags::TagRecord record = Tags::ReadTags(source);
    for (const char* key : {"DESCRIPTION", "ENCODER", "ENCODEDBY"})
        EXPECT_EQ(record.Find(key), nullptr) << key;
}

TEST_F(TagsTest, WavListInfoInCp932) {
    using namespace Id3Bytes::Sjis;
    const auto field = [](const char* pId, const std::string& pText) {
        Bytes text(pText.begin(), pText.end());
        text.push_back(0);
        return Chunk(pId, text);
    };
    Bytes info;
    PutId(info, "INFO");
    for (const Bytes& sub : std::vector<Bytes>{
             field("INAM", kTitle), field("IART", kAlbumArtist), field("IPRD", kAlbum),
             field("ICMT", kComment), field("IGNR", kGenre), field("ICRD", "2019"), field("IPRT", "3")})
        info.insert(info.end(), sub.begin(), sub.end());
    const Bytes tone = AppTestFiles::ToneWav(2, 44100, 0.5);
    Bytes wav = tone;
    const Bytes list = Chunk("LIST", info);
    wav.insert(wav.end(), list.begin(), list.end());
    const std::uint32_t riffSize = std::uint32_t(wav.size() - 8);
    for (int i = 0; i < 4; ++i)
        wav[std::size_t(4 + i)] = std::uint8_t(riffSize >> (8 * i));
    const std::string source = Dir / "info.wav";
    WriteFile(source, wav);
    ExpectCarried(source,
                  {{"TITLE", {"夏の海辺で"}},
                   {"ARTIST", {"東京事変"}},
                   {"ALBUM", {"ピアノ練習曲 第3番"}},
                   {"COMMENT", {"テストのコメント"}},
                   {"GENRE", {"ジャズ"}},
                   {"DATE", {"2019"}},
                   {"TRACKNUMBER", {"3"}}},
                  false);
}

// An ID3v2 field left empty is taken from the ID3v1 tag behind the audio, read as Shift_JIS too.
TEST_F(TagsTest, AnEmptyId3v2FieldComesFromId3v1) {
    Bytes bytes =
        Id3Bytes::Tag({Id3Bytes::Latin1Text("TIT2", "Title"), Id3Bytes::Latin1Text("TPE1", "")}, 16);
    const Bytes plain = ReadFile(Plain);
    bytes.insert(bytes.end(), plain.begin(), plain.end());
    const auto field = [](const std::string& pText, std::size_t pWidth) {
        std::string padded = pText;
        padded.resize(pWidth, '\0');
        return padded;
    };
    const std::string v1 = "TAG" + field("Old title", 30) + field(Id3Bytes::Sjis::kAlbumArtist, 30) +
                           field("", 30) + "2001" + field("", 30) + "\xFF";
    bytes.insert(bytes.end(), v1.begin(), v1.end());
    const std::string source = Dir / "both.mp3";
    WriteFile(source, bytes);
    const Tags::TagRecord record = Tags::ReadTags(source);
    ASSERT_NE(record.Find("TITLE"), nullptr);
    EXPECT_EQ(*record.Find("TITLE"), std::vector<std::string>{"Title"}) << "ID3v2 comes first";
    ASSERT_NE(record.Find("ARTIST"), nullptr);
    EXPECT_EQ(*record.Find("ARTIST"), std::vector<std::string>{"東京事変"});
    ASSERT_NE(record.Find("DATE"), nullptr);
    EXPECT_EQ(*record.Find("DATE"), std::vector<std::string>{"2001"});
}

// Found by fuzzing: a frame whose encoding byte (0x30) names no encoding, and whose text TagLib
// turns into nothing, gives no value rather than an empty one.
TEST_F(TagsTest, AFrameInAnUnknownEncodingIsLeftOut) {
    const std::string odd("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00", 11);
    Bytes bytes = Id3Bytes::Tag({Id3Bytes::Frame("TIT2", odd), Id3Bytes::Latin1Text("TPE1", "Band")}, 16);
    const Bytes plain = ReadFile(Plain);
    bytes.insert(bytes.end(), plain.begin(), plain.end());
    const std::string source = Dir / "odd.mp3";
    WriteFile(source, bytes);
    const Tags::TagRecord record = Tags::ReadTags(source);
    EXPECT_EQ(record.Find("TITLE"), nullptr);
    ASSERT_NE(record.Find("ARTIST"), nullptr);
    EXPECT_EQ(*record.Find("ARTIST"), std::vector<std::string>{"Band"});
}

TEST_F(TagsTest, ATruncatedTagGivesNothingAndANote) {
    // The title frame claims 5000 bytes in a tag of 100.
    const Bytes tag = Id3Bytes::Tag({Id3Bytes::Frame("TIT2", std::string("\0Title", 6), 5000)}, 84);
    Bytes bytes = tag;
    const Bytes plain = ReadFile(Plain);
    bytes.insert(bytes.end(), plain.begin(), plain.end());
    const std::string source = Dir / "cut.mp3";
    WriteFile(source, bytes);
    const Tags::TagRecord record = Tags::ReadTags(source);
    EXPECT_TRUE(record.Empty());
    EXPECT_EQ(record.Notes, (std::vector<std::string>{"the ID3v2 tag holds nothing readable"}));
    EXPECT_TRUE(Tags::RenderId3v2(record).empty());
    ASSERT_TRUE(Tags::WriteMp3(Plain, Dir / "out.mp3", record));
    EXPECT_EQ(Stored(Dir / "out.mp3"), Stored(Plain)) << "no tag, the encoder's bytes";
}

TEST_F(TagsTest, ACoverOver16MiBIsLeftOutAndTheTextKept) {
    Bytes bytes = Id3Bytes::ShiftJisTag(Id3Bytes::FakeJpeg(Tags::kMaxPictureBytes + 1));
    const Bytes plain = ReadFile(Plain);
    bytes.insert(bytes.end(), plain.begin(), plain.end());
    const std::string source = Dir / "big.mp3";
    WriteFile(source, bytes);
    const Tags::TagRecord record = Tags::ReadTags(source);
    EXPECT_FALSE(record.Cover.has_value());
    EXPECT_EQ(record.Notes, (std::vector<std::string>{"a cover of 16777217 bytes left out (over 16 MiB)"}));
    ASSERT_NE(record.Find("TITLE"), nullptr);
    EXPECT_EQ(record.Find("TITLE")->front(), "夏の海辺で");
}

TEST_F(TagsTest, FilesWithoutTagsGiveAnEmptyRecordWithoutNotes) {
    const std::string wav = Dir / "plain.wav";
    WriteFile(wav, AppTestFiles::ToneWav(1, 8000, 0.1));
    for (const std::string& path : {Plain, wav, Dir / "missing.mpg"}) {
        const Tags::TagRecord record = Tags::ReadTags(path);
        EXPECT_TRUE(record.Empty()) << path;
        EXPECT_TRUE(record.Notes.empty()) << path;
    }
}

} // namespace
