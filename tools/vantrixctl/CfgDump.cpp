#include "tools/vantrixctl/CfgDump.h"

#include "app/Bytes.h"
#include "app/TextCodec.h"

namespace {

using json = nlohmann::ordered_json;

template <size_t N> std::string Text(const char (&field)[N]) { return cp1250::ToUtf8(bytes::FieldStr(field)); }

template <size_t N> json Bytes(const uint8_t (&field)[N]) {
    json a = json::array();
    for (uint8_t b : field) a.push_back(b);
    return a;
}

json Credit(const CreditRec& c) {
    return {{"mode", c.mode}, {"code", Text(c.code)}, {"min_value", float(c.min_value)}};
}

}  // namespace

nlohmann::ordered_json CfgToJson(const CfgImage& img) {
    json j;
    j["rs232_speed"] = img.rs232_speed;
    j["rs232_flow_control"] = img.rs232_flow_control;
    j["ring_indication"] = img.ring_indication;
    j["sim1_pin"] = Text(img.sim_pin[0]);
    j["sim2_pin"] = Text(img.sim_pin[1]);
    j["remote_access"] = img.remote_access;
    j["sms_handling"] = img.sms_handling;
    j["sms_forward_number"] = Text(img.sms_forward_number);
    j["sim1_credit"] = Credit(img.credit[0]);
    j["sim2_credit"] = Credit(img.credit[1]);
    j["info_sms_number"] = Text(img.info_sms_number);
    j["reset_sms_text"] = Text(img.reset_sms_text);
    j["low_credit_sms_text"] = Text(img.low_credit_sms_text);
    json alarms = json::array();
    for (const auto& a : img.alarms) {
        alarms.push_back({{"call_number", Text(a.call_number)},
                          {"sms1_number", Text(a.sms1_number)},
                          {"sms2_number", Text(a.sms2_number)},
                          {"sms_text", Text(a.sms_text)},
                          {"melody", a.melody}});
    }
    j["alarms"] = alarms;
    j["audio_in_level"] = img.audio_in_level;
    j["audio_out_level"] = img.audio_out_level;

    const CallRec& c = img.call;
    json directions = json::array();
    for (int d = 0; d < 16; ++d) directions.push_back({{"prefix", Text(c.directions[d])}, {"sim", c.direction_sim[d]}});
    j["call"] = {
        {"direction_completion", Text(c.direction_completion)},
        {"denied_code", Text(c.denied_code)},
        {"directions", directions},
        {"reserved1", Bytes(c.reserved1)},
        {"sim1_flags", c.sim_flags[0]},
        {"sim2_flags", c.sim_flags[1]},
        {"sim1_melody", c.sim_melody[0]},
        {"sim2_melody", c.sim_melody[1]},
        {"ring_after_init", c.ring_after_init},
        {"dial_delay", c.dial_delay},
        {"dial_wait", c.dial_wait},
        {"lookup_time", c.lookup_time},
        {"max_digits", c.max_digits},
        {"sim1_dial_tone", c.dial_tone[0]},
        {"sim2_dial_tone", c.dial_tone[1]},
        {"programming_char", c.programming_char},
        {"tariff", c.tariff},
        {"reserved2", Bytes(c.reserved2)},
    };
    for (int s = 0; s < 2; ++s) {
        j[s == 0 ? "sim1_monthly_call" : "sim2_monthly_call"] = {{"number", Text(img.monthly_call[s].number)},
                                                                 {"melody", img.monthly_call[s].melody}};
    }
    json entries = json::array();
    for (const auto& e : img.renum.entries)
        entries.push_back({{"input_prefix", Text(e.input_prefix)}, {"result", Text(e.result)}, {"mode", e.mode}});
    j["renum"] = {{"enabled", img.renum.enabled},
                  {"dtmf_delay", img.renum.dtmf_delay},
                  {"dtmf_length", img.renum.dtmf_length},
                  {"entries", entries}};
    return j;
}
