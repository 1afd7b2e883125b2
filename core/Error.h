#pragma once

#include <QString>
#include <exception>
#include <string>

// Every failure inside a report run carries one of these codes. The report routine picks its
// message by range: above 400 and below 30000 is the speech engine, above 30000 is the feed.
namespace ErrorCode {

// Speech engine (401..29999)
inline constexpr int SpeechNoEngine = 401;        // no engine could be created
inline constexpr int SpeechNoVoice = 402;         // voice position names no installed voice
inline constexpr int SpeechSetVoiceFailed = 403;  // the engine refused the voice
inline constexpr int SpeechSynthesisFailed = 404; // espeak-ng could not synthesise the text
inline constexpr int SpeechNoAudioDevice = 405;   // the sound server or device cannot be opened
inline constexpr int SpeechInitFailed = 406;      // espeak-ng could not be initialised
inline constexpr int SpeechModuleFailed = 407;    // the sound module could not be loaded

// Settings files written by the report routine (below 400: the routine shows the error's own words)
inline constexpr int SettingsWriteFailed = 75; // citydat.txt or greetdat.txt could not be replaced

// Feed retrieval (above 30000)
inline constexpr int FeedRefused = 30001;      // connection refused
inline constexpr int FeedHostNotFound = 30002; // host name could not be resolved
inline constexpr int FeedTimeout = 30003;      // no complete answer within the time-out
inline constexpr int FeedDropped = 30004;      // connection closed before the body was complete
inline constexpr int FeedBadStatus = 30005;    // a status other than 2xx
inline constexpr int FeedTooLarge = 30006;     // body over the size limit
inline constexpr int FeedOther = 30007;        // any other network failure
inline constexpr int FeedModuleFailed = 30008; // the network module could not be loaded
inline constexpr int FeedInterrupted = 30009;  // the application quit during the wait

inline bool isSpeechError(int code) {
    return code > 400 && code < 30000;
}
inline bool isFeedError(int code) {
    return code > 30000;
}
// The user is told which module failed and why, besides the message for what it serves.
inline bool isModuleError(int code) {
    return code == SpeechModuleFailed || code == FeedModuleFailed;
}

} // namespace ErrorCode

// The exception that carries an error code to the report routine's handler.
class NimbrelError : public std::exception {
public:
    NimbrelError(int code, QString detail)
        : m_code(code)
        , m_detail(std::move(detail)) {
        m_what = m_detail.toStdString();
    }
    int code() const noexcept { return m_code; }
    const QString& detail() const noexcept { return m_detail; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_code;
    QString m_detail;
    std::string m_what;
};
