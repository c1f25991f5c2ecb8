#include "archive/decoders/msb_bit_reader.h"

namespace archive {

void MsbBitReader::refillSlow() {
    if (!m_in->ended()) {
        m_in->advanceTo(m_next);
        (void)m_in->fill(8);  // a source error ends the data; the decoder reports it
        m_next = m_in->data();
        m_limit = readLimit(*m_in);
        if (m_limit - m_next >= 8) {
            refill();
            return;
        }
    }
    // Far into the padding: the data is long over, and zeros need no reading.
    m_count = 64;
    m_overrun = true;
}

bool MsbBitReader::atEnd() {
    if (bitsPastEnd() <= -8) return false;
    if (!m_in->ended()) {
        m_in->advanceTo(m_next);
        (void)m_in->fill(8);
        m_next = m_in->data();
        m_limit = readLimit(*m_in);
    }
    return bitsPastEnd() > -8;
}

}  // namespace archive
