#pragma once

#include <QString>

#include <optional>

// The one error of conversion code: a finished, plain-language sentence that a failed item shows
// as it stands. Conversions return `ConvertResult`: nothing on success, the error on failure.
struct ConvertError {
    QString message;

    bool operator==(const ConvertError& other) const = default;
};

using ConvertResult = std::optional<ConvertError>;
