#pragma once

#include "network/sftp/SFTPError.h"

#include <utility>
#include <variant>

// What one SFTP operation gives: a value or an error. A plain value; any thread.
template <class T> class SFTPResult {
public:
    SFTPResult(T value)
        : m_result(std::in_place_index<0>, std::move(value)) {}
    SFTPResult(SFTPError error)
        : m_result(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_result.index() == 0; }
    // Only when ok().
    const T& value() const { return std::get<0>(m_result); }
    // Only when !ok().
    const SFTPError& error() const { return std::get<1>(m_result); }

private:
    std::variant<T, SFTPError> m_result;
};
