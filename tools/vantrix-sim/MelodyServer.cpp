#include "tools/vantrix-sim/MelodyServer.h"

#include <cstring>
#include <string>

#include "melodyloader/MelodyProtocol.h"
#include "tools/vantrix-sim/Hex.h"

using namespace melody;

bool CMelodyServer::Fault::Take() {
    if (skip > 0) {
        --skip;
        return false;
    }
    if (count > 0) {
        --count;
        return true;
    }
    return false;
}

bool CMelodyServer::Handle(const uint8_t* p, size_t n, std::vector<uint8_t>& reply) {
    reply.clear();
    if (n < kCheckRequestLen || p[0] != kRequestTag || p[2] != 0 || p[3] != 0) return false;
    uint8_t cmd = p[1];
    uint8_t ack;
    if (cmd == MELCMD_CHECK) {
        ++m_checks;
        if (m_silentChecks) return false;
        ack = m_refuseChecks ? m_checkAck : 0;
    } else if (cmd == MELCMD_WRITE) {
        // Both hooks count every write, so their windows can be set side by side.
        bool refused = m_refuseWrites.Take();
        bool silent = m_silentWrites.Take();
        if (silent || refused) {
            uint16_t address = n >= 6 ? uint16_t(p[4] | p[5] << 8) : 0;
            uint8_t count = n >= kWriteHeaderLen ? p[6] : 0;
            m_writes.push_back({address, count, silent ? kNoAnswer : m_refuseWrites.ack});
            if (silent) return false;
            ack = m_refuseWrites.ack;
        } else {
            ack = StoreWrite(p, n);
        }
    } else {
        return false;
    }
    reply = {kReplyTag, cmd, 0x00, ack};
    return true;
}

uint8_t CMelodyServer::StoreWrite(const uint8_t* p, size_t n) {
    if (n < kWriteHeaderLen) {
        m_writes.push_back({0, 0, kAckBadLength});
        return kAckBadLength;
    }
    uint16_t address = uint16_t(p[4] | p[5] << 8);
    uint8_t count = p[6];
    uint8_t ack = 0;
    if (count == 0 || count > kBlockSize || n != kWriteHeaderLen + count)
        ack = kAckBadLength;
    else if (address < MELODY_BASE_ADDRESS || uint32_t(address) + count > 0x10000)
        ack = kAckBadAddress;
    m_writes.push_back({address, count, ack});
    if (ack != 0) return ack;

    size_t at = address - MELODY_BASE_ADDRESS;
    if (m_memory.size() < at + count) m_memory.resize(at + count, 0xFF);
    std::memcpy(&m_memory[at], p + kWriteHeaderLen, count);
    Scramble(&m_memory[at], count, address);
    return 0;
}

void CMelodyServer::RefuseWrites(int count, int skip, uint8_t ack) { m_refuseWrites = {skip, count, ack}; }

void CMelodyServer::SilenceWrites(int count, int skip) { m_silentWrites = {skip, count, 0}; }

void CMelodyServer::RefuseChecks(bool on, uint8_t ack) {
    m_refuseChecks = on;
    m_checkAck = ack;
}

void CMelodyServer::SilenceChecks(bool on) { m_silentChecks = on; }

nlohmann::json CMelodyServer::State() const { return {{"memory", simhex::ToHex(m_memory)}}; }

void CMelodyServer::SetState(const nlohmann::json& state) {
    if (!state.is_object()) return;
    auto it = state.find("memory");
    if (it == state.end() || !it->is_string()) return;
    const std::string& hex = it->get_ref<const std::string&>();
    if (hex.size() / 2 > kMaxImageSize) return;
    simhex::FromHex(hex, m_memory);  // leaves the memory as it was on bad text
}
