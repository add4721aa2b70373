// SPDX-License-Identifier: MIT
// A QByteArray over a heap block of exactly its size, so AddressSanitizer sees any read
// past its end (a QByteArray of its own always has a terminator byte after its data).
#pragma once

#include <QByteArray>

#include <cstring>
#include <memory>

class ExactBuffer
{
public:
    explicit ExactBuffer(const QByteArray& bytes)
        : m_block(bytes.isEmpty() ? nullptr : new char[size_t(bytes.size())])
    {
        if (m_block)
            std::memcpy(m_block.get(), bytes.constData(), size_t(bytes.size()));
        m_view = QByteArray::fromRawData(m_block.get(), bytes.size());
    }
    ExactBuffer(const ExactBuffer&) = delete;
    ExactBuffer& operator=(const ExactBuffer&) = delete;

    const QByteArray& bytes() const { return m_view; }

private:
    std::unique_ptr<char[]> m_block;
    QByteArray m_view;
};
