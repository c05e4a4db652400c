#pragma once

#include "mediaserver/MediaServerError.h"

#include <QByteArray>
#include <QString>

#include <variant>

// The pairing exchange's pure parts: what is sent for a typed code and what an answer means.
// Any thread.
namespace MediaServerPairing {

// Only the digits of what the user typed: "123 456" and "123-456" give "123456". Digits of other
// scripts are sent as their ASCII value, since that is the number the user read off the server.
QString digits(const QString& typed);

// The request body: {"code": digits, "device": device name}. The token is never part of it.
QByteArray body(const QString& typedCode, const QString& deviceName);

// This computer's name as the user knows it: the pretty host name when one is set, else the host
// name, else "Computer".
QString deviceName();
// `localName` itself, or "Computer" when it is empty.
QString deviceName(const QString& localName);

// The token of a 200 answer holding a non-empty text "token"; otherwise the refusal, with the
// server's "error" text when it sent one.
std::variant<QString, MediaServerError> answer(int status, const QByteArray& body);

} // namespace MediaServerPairing
