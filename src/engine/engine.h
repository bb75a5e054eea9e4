#pragma once
// Zelvora's audio engine: decoding, tempo change, effects and external encoders
// behind 32-bit handles.
//
// Contracts that hold for every call:
// - A handle of 0 means failure; a stale or 0 handle is a harmless failure
//   (BadHandle).
// - A failing call records an error code, readable with lastError() on the
//   same thread. A successful call sets it to Ok.
// - Every call is thread-safe.
// - Audio data is interleaved signed 16-bit PCM at the channel's own rate and
//   channel count. Byte positions are 64-bit and count that PCM:
//   frames x channels x 2.

#include <cstdint>
#include <functional>
#include <string>

namespace zv::engine {

using Handle = std::uint32_t;

// Error codes. The first six are shown to users and must keep their numbers.
enum Error : int {
    Ok = 0,
    FileOpen = 2, // the file cannot be opened for reading
    NotInitialised = 8, // init() has not succeeded
    AlreadyInitialised = 14,
    FileFormat = 41, // not an audio format we can decode
    WmaProtected = 1000, // WMA with digital rights management
    WmaUnavailable = 1001, // no decoder for this WMA codec
    BadHandle = 100,
    BadParameter = 101,
    BadPosition = 102, // beyond the end, or the stream cannot seek there
    NotDecodeChannel = 103,
    Ended = 104, // the channel has delivered all its data
    DecodeFailed = 105, // reading or decoding failed in mid-stream
    NoDevice = 106,
    EncoderStart = 107, // the encoder program could not be started
    EncoderFailed = 108, // the encoder exited with an error or was killed
    EncoderWrite = 109, // the encoder stopped taking data
    OutOfMemory = 110,
    NotAvailable = 111, // the value is not known (e.g. the length of an unindexed stream)
    NotPlaying = 112, // pausing a channel that is stopped
    DecodeOnly = 113, // playing, pausing or stopping a decode channel
    DecoderLibraryMissing = 114, // FFmpeg's libraries cannot be loaded
    Unknown = -1,
};

int lastError();

// Devices. The default device is SDL's audio output (stereo at the rate given
// to init); the no-sound device decodes, encodes and mixes but plays nothing.
inline constexpr int DefaultDevice = -1;
inline constexpr int NoSoundDevice = 0;

// Fails with NoDevice when the device cannot be opened.
bool init(int device, int rate);
// Stops the output thread, then frees every handle and closes the device.
// Not from a sync callback (BadParameter).
bool shutdown();

// FFmpeg's libraries are loaded when the first file opens, which then waits
// for them. This starts loading its decoders (all an MP3 needs; other formats
// load their container support at their first open) on a thread of its own
// and returns at once, so that whatever the caller does before its first
// open (starting an encoder, say) overlaps the load. Any thread, before or
// after init; calls after the first do nothing.
void loadDecodersInBackground();

// Stream flags.
inline constexpr std::uint32_t StreamDecode = 0x1; // pulled by the caller with channelGetData
inline constexpr std::uint32_t StreamPrescan = 0x2; // exact length and seeking, indexed at open

// Opens any format FFmpeg reads. Refuses anything but a regular readable file
// (FileOpen) and files without a decodable audio stream (FileFormat); fails
// with DecoderLibraryMissing when FFmpeg cannot be loaded.
Handle streamCreateFile(const std::string& path, std::uint32_t flags);
// As streamCreateFile, for files that must be WMA: FileFormat if the file is
// not ASF, WmaProtected for DRM, WmaUnavailable when the codec has no decoder.
Handle streamCreateWmaFile(const std::string& path, std::uint32_t flags);
// Frees a file stream or a tempo stream (and any encoder on it). A playing
// channel falls silent at once. Waits for a sync callback of the channel in
// progress on another thread; once it returns, no callback of the channel runs.
bool streamFree(Handle stream);

struct ChannelInfo {
    int rate = 0;
    int channels = 0;
    std::string format; // container name, e.g. "mp3", "wav", "asf"
    std::string codec; // codec name, e.g. "mp3", "pcm_s16le", "wmav2"
};
bool channelGetInfo(Handle channel, ChannelInfo& info);

inline constexpr std::uint64_t NoPosition = ~std::uint64_t { 0 };

std::uint64_t channelGetLength(Handle channel); // bytes, or NoPosition
std::uint64_t channelGetPosition(Handle channel); // bytes, or NoPosition
bool channelSetPosition(Handle channel, std::uint64_t bytes);
// Returns a negative value on failure.
double channelBytes2Seconds(Handle channel, std::uint64_t bytes);
// Rounds down to a whole frame. Returns NoPosition on failure.
std::uint64_t channelSeconds2Bytes(Handle channel, double seconds);

enum class Activity { Stopped = 0, Playing = 1, Paused = 3 };
// A decode channel is Playing until it has delivered its last byte. A
// playable channel is Playing between play and stop, pause or its end.
Activity channelIsActive(Handle channel);

// Playable channels (created without StreamDecode) are mixed to the device by
// the engine's output thread, resampled and channel-mapped to its format.
// restart plays from the start; otherwise from the current position, and a
// channel that played to its end starts again from the beginning. The
// position of a playing channel is that of the sound being heard.
bool channelPlay(Handle channel, bool restart);
// NotPlaying when the channel is stopped.
bool channelPause(Handle channel);
// Stops; the position stays where playback stood.
bool channelStop(Handle channel);

// Decode channels only. Fills buffer with up to bytes bytes (rounded down to
// whole frames), runs the channel's effects on them and feeds its encoder.
// Returns the bytes delivered, or -1 with Ended at the end of the data, or -1
// with DecodeFailed when reading fails.
std::int64_t channelGetData(Handle channel, void* buffer, std::uint32_t bytes);

enum class Attribute {
    Volume, // 0..1, applied where the channel is mixed
    Tempo, // percent change, tempo streams only
};
bool channelSetAttribute(Handle channel, Attribute attribute, float value);
bool channelGetAttribute(Handle channel, Attribute attribute, float& value);
// Moves the volume to target over ms milliseconds of played sound, per
// sample. Setting the attribute ends a slide.
bool channelSlideAttribute(Handle channel, Attribute attribute, float target, std::uint32_t ms);

// Syncs. End fires when the channel reaches the end of its data (param 0);
// Position fires when playback passes byte position param of the channel's
// time line. On a playing channel the callback runs on the engine's output
// thread at the exact sample: the render block is split there, so a callback
// that stops the channel ends the sound at that sample. On a decode channel it
// runs inside channelGetData on the caller's thread, between the bytes before
// the position and those after it. A position sync fires once each time
// playback passes its position; End fires each time the data ends.
// Callbacks may call the engine (stop, remove a sync, set or slide an
// attribute, play another channel, open and free streams). A callback runs
// with its channel's lock held: another thread calling the engine on that
// channel waits for it, so it must not wait for such a thread.
enum class SyncType { End, Position };
using SyncCallback = std::function<void(Handle sync, Handle channel)>;
Handle channelSetSync(Handle channel, SyncType type, std::uint64_t param, SyncCallback callback);
bool channelRemoveSync(Handle channel, Handle sync);

// Tempo streams wrap a decode stream and change its tempo without changing
// its pitch. Positions and lengths count on the source's time line; data
// comes out tempo-changed. Freeing the tempo stream leaves the source open.
Handle tempoCreate(Handle source, std::uint32_t flags);
// Ratio of the resulting rate to the source's (1.2 at +20 %); 0 on failure.
float tempoGetRateRatio(Handle tempo);
// The source a tempo stream wraps, or 0.
Handle tempoGetSource(Handle tempo);

// Effects. Higher priority runs first.
enum class EffectType { PeakEq, Volume };
Handle channelSetFx(Handle channel, EffectType type, int priority);
bool channelRemoveFx(Handle channel, Handle fx);

// One band of a peaking equalizer; an equalizer holds any number of bands,
// addressed by index.
struct EqBand {
    int band = 0;
    float centreHz = 1000.0f;
    float bandwidthOctaves = 1.0f;
    float gainDb = 0.0f;
};
bool fxSetEqBand(Handle fx, const EqBand& band);
// Reads the band whose index band.band holds.
bool fxGetEqBand(Handle fx, EqBand& band);
// Linear factor; 1.0 leaves the sound as it is.
bool fxSetVolume(Handle fx, float level);
bool fxGetVolume(Handle fx, float& level);

// Encoders. The command line is split into words like a shell would split
// them (double quotes group, nothing is expanded) and the program is started
// without a shell. It receives a WAV header with unknown sizes and then every
// byte channelGetData delivers from the channel.
// Fails with EncoderStart when the program cannot be started.
Handle encodeStart(Handle channel, const std::string& commandLine);
// Starts the encoder program of a command line (as encodeStart does) before
// its channel exists, so that its start-up overlaps opening the source. It
// receives nothing until encodeAttach. Fails with EncoderStart when the
// program cannot be started.
Handle encodeLaunch(const std::string& commandLine);
// Feeds a launched encoder from the channel, as encodeStart would: the WAV
// header now, then every byte channelGetData delivers. An encoder the channel
// had is replaced. BadHandle when the encoder is gone or already attached.
bool encodeAttach(Handle encoder, Handle channel);
// Closes the encoder's input and waits until it has finished its file. False
// with EncoderFailed or EncoderWrite when the encoder did not finish cleanly;
// errorOutput then receives what the encoder wrote to its standard error. An
// encoder launched but never attached has no file to finish: it is ended at
// once and counts as failed.
bool encodeStop(Handle encoder, std::string* errorOutput = nullptr);
// True while the encoder runs and takes data.
bool encodeIsActive(Handle encoder);

} // namespace zv::engine
