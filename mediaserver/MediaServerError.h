#pragma once

#include <QString>

// Why a media-server request or a pairing failed. `message` is the finished sentence shown to the
// user; `kind` lets callers tell the cases apart without reading the text. A plain value; any
// thread.
struct MediaServerError {
    enum class Kind {
        // The network layer's own failure (refused, no route, time-out); `message` is its text.
        transport,
        // The server said no: a revoked or missing token (the not-paired sentence), or a refused
        // pairing code (the server's own text).
        rejected,
        // Any other answer, or a pairing that never reached the server.
        unreachable,
        // A 200 answer whose body is not the expected record.
        decoding,
        // The saved host and port form no web address.
        address,
    };

    Kind kind = Kind::unreachable;
    QString message;

    bool operator==(const MediaServerError& other) const = default;

    static MediaServerError rejected(const QString& text) { return {Kind::rejected, text}; }
    // "Couldn't reach the server. Is the PC on and on the same network?"
    static MediaServerError unreachable();
    // The sentence of a 401 answer, naming where the user pairs again (MediaApp::settingsPlace).
    static MediaServerError notPaired();
};
