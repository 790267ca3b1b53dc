#include "platform/driverio/DriverProtocol.h"

#include <cstring>

namespace tarvik::driverio {
namespace {

class Writer {
  public:
    explicit Writer(std::vector<std::uint8_t>& out) : out_(out) {}
    void U8(std::uint8_t v) { out_.push_back(v); }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void I64(std::int64_t v) {
        auto u = static_cast<std::uint64_t>(v);
        for (int i = 0; i < 8; ++i) out_.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
    }
    void Bytes(std::span<const std::uint8_t> bytes) {
        U32(static_cast<std::uint32_t>(bytes.size()));
        out_.insert(out_.end(), bytes.begin(), bytes.end());
    }
    void Text(const std::string& text) {
        Bytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }

  private:
    std::vector<std::uint8_t>& out_;
};

// Reads fields front to back; the first failure sticks and later reads
// return zeros, so callers check `Result()` once at the end.
class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> in) : in_(in) {}

    std::uint8_t U8() {
        if (!Need(1)) return 0;
        return in_[pos_++];
    }
    std::uint32_t U32() {
        if (!Need(4)) return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t{in_[pos_ + i]} << (8 * i);
        pos_ += 4;
        return v;
    }
    std::int64_t I64() {
        if (!Need(8)) return 0;
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= std::uint64_t{in_[pos_ + i]} << (8 * i);
        pos_ += 8;
        return static_cast<std::int64_t>(v);
    }
    void Bytes(std::vector<std::uint8_t>& out, std::size_t limit) {
        std::uint32_t n = U32();
        if (result_ != DecodeResult::Ok) return;
        if (n > limit) return Fail(DecodeResult::BadField);
        if (!Need(n)) return;
        out.assign(in_.begin() + pos_, in_.begin() + pos_ + n);
        pos_ += n;
    }
    void Text(std::string& out) {
        std::uint32_t n = U32();
        if (result_ != DecodeResult::Ok) return;
        if (n > kMaxTextSize) return Fail(DecodeResult::BadField);
        if (!Need(n)) return;
        out.assign(reinterpret_cast<const char*>(in_.data() + pos_), n);
        pos_ += n;
    }
    bool Bool() {
        std::uint8_t v = U8();
        if (v > 1) Fail(DecodeResult::BadField);
        return v == 1;
    }
    std::uint32_t Count(std::size_t limit) {
        std::uint32_t n = U32();
        if (n > limit) Fail(DecodeResult::BadField);
        return result_ == DecodeResult::Ok ? n : 0;
    }
    void Fail(DecodeResult result) {
        if (result_ == DecodeResult::Ok) result_ = result;
    }
    DecodeResult Finish() {
        if (result_ == DecodeResult::Ok && pos_ != in_.size()) result_ = DecodeResult::Trailing;
        return result_;
    }
    DecodeResult Result() const { return result_; }

  private:
    bool Need(std::size_t n) {
        if (result_ != DecodeResult::Ok) return false;
        if (in_.size() - pos_ < n) {
            result_ = DecodeResult::Truncated;
            return false;
        }
        return true;
    }

    std::span<const std::uint8_t> in_;
    std::size_t pos_ = 0;
    DecodeResult result_ = DecodeResult::Ok;
};

bool IsKnownKind(std::uint8_t kind) {
    return (kind >= static_cast<std::uint8_t>(MessageKind::Open) &&
            kind <= static_cast<std::uint8_t>(MessageKind::NetworkCardsGet)) ||
           (kind >= static_cast<std::uint8_t>(MessageKind::Reply) &&
            kind <= static_cast<std::uint8_t>(MessageKind::AddressChange));
}

void EncodeFields(const Message& m, Writer& w) {
    switch (m.kind) {
        case MessageKind::Open:
            w.U8(m.flag);
            w.Text(m.text);
            break;
        case MessageKind::Control:
            w.U32(m.code);
            w.U32(m.capacity);
            w.Bytes(m.data);
            break;
        case MessageKind::ReadPost:
            w.U32(m.capacity);
            break;
        case MessageKind::WriteFrame:
            w.Bytes(m.data);
            break;
        case MessageKind::IpConfigGet:
        case MessageKind::AddressRelease:
        case MessageKind::AddressChange:
            w.Text(m.text);
            break;
        case MessageKind::Reply:
            w.U32(m.status);
            w.U32(m.count);
            w.U8(m.flag);
            w.Bytes(m.data);
            break;
        case MessageKind::ReadDone:
            w.U32(m.status);
            w.Bytes(m.data);
            break;
        case MessageKind::MediaEvent:
            w.U8(m.flag);
            w.Text(m.text);
            w.Text(m.device);
            break;
        case MessageKind::ReadCancel:
        case MessageKind::Subscribe:
        case MessageKind::ServiceQuery:
        case MessageKind::ServiceStart:
        case MessageKind::ServiceStop:
        case MessageKind::NetworkCardsGet:
            break;
    }
}

void DecodeFields(Reader& r, Message& m) {
    const std::size_t maxData = kMaxMessageSize;
    switch (m.kind) {
        case MessageKind::Open:
            m.flag = r.U8();
            if (m.flag > static_cast<std::uint8_t>(DeviceTarget::Control)) {
                r.Fail(DecodeResult::BadField);
            }
            r.Text(m.text);
            break;
        case MessageKind::Control:
            m.code = r.U32();
            m.capacity = r.U32();
            if (m.capacity > kMaxCapacity) r.Fail(DecodeResult::BadField);
            r.Bytes(m.data, maxData);
            break;
        case MessageKind::ReadPost:
            m.capacity = r.U32();
            if (m.capacity > kMaxCapacity) r.Fail(DecodeResult::BadField);
            break;
        case MessageKind::WriteFrame:
            r.Bytes(m.data, maxData);
            break;
        case MessageKind::IpConfigGet:
        case MessageKind::AddressRelease:
        case MessageKind::AddressChange:
            r.Text(m.text);
            break;
        case MessageKind::Reply:
            m.status = r.U32();
            m.count = r.U32();
            m.flag = r.U8();
            r.Bytes(m.data, maxData);
            break;
        case MessageKind::ReadDone:
            m.status = r.U32();
            r.Bytes(m.data, maxData);
            break;
        case MessageKind::MediaEvent:
            m.flag = r.Bool() ? 1 : 0;
            r.Text(m.text);
            r.Text(m.device);
            break;
        case MessageKind::ReadCancel:
        case MessageKind::Subscribe:
        case MessageKind::ServiceQuery:
        case MessageKind::ServiceStart:
        case MessageKind::ServiceStop:
        case MessageKind::NetworkCardsGet:
            break;
    }
}

}  // namespace

bool IsRequestKind(MessageKind kind) {
    return static_cast<std::uint8_t>(kind) < static_cast<std::uint8_t>(MessageKind::Reply);
}

void EncodeMessage(const Message& message, std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    Writer w(out);
    w.U32(0);  // length, patched below
    w.U8(static_cast<std::uint8_t>(message.kind));
    w.U32(message.id);
    EncodeFields(message, w);
    const auto length = static_cast<std::uint32_t>(out.size() - start - 4);
    for (int i = 0; i < 4; ++i) out[start + i] = static_cast<std::uint8_t>(length >> (8 * i));
}

std::vector<std::uint8_t> EncodeMessage(const Message& message) {
    std::vector<std::uint8_t> out;
    EncodeMessage(message, out);
    return out;
}

DecodeResult DecodeMessage(std::span<const std::uint8_t> body, Message& out) {
    out = Message{};
    Reader r(body);
    const std::uint8_t kind = r.U8();
    if (r.Result() != DecodeResult::Ok) return r.Result();
    if (!IsKnownKind(kind)) {
        out.kind = static_cast<MessageKind>(kind);
        out.id = r.U32();
        return DecodeResult::UnknownKind;
    }
    out.kind = static_cast<MessageKind>(kind);
    out.id = r.U32();
    DecodeFields(r, out);
    return r.Finish();
}

const char* DecodeResultName(DecodeResult result) {
    switch (result) {
        case DecodeResult::Ok:
            return "ok";
        case DecodeResult::Truncated:
            return "truncated message";
        case DecodeResult::UnknownKind:
            return "unknown message kind";
        case DecodeResult::BadField:
            return "field out of range";
        case DecodeResult::Trailing:
            return "trailing bytes";
    }
    return "unknown";
}

void FrameBuffer::Append(std::span<const std::uint8_t> bytes) {
    // Drop what was consumed before growing, so the buffer stays bounded by
    // one message plus one read.
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 65536 && start_ > buffer_.size() / 2) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

FrameBuffer::Next FrameBuffer::Take(std::vector<std::uint8_t>& body) {
    const std::size_t available = buffer_.size() - start_;
    if (available < 4) return Next::NeedMore;
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i) length |= std::uint32_t{buffer_[start_ + i]} << (8 * i);
    if (length == 0 || length > kMaxMessageSize) return Next::Bad;
    if (available - 4 < length) return Next::NeedMore;
    const auto first = buffer_.begin() + static_cast<std::ptrdiff_t>(start_ + 4);
    body.assign(first, first + length);
    start_ += 4 + length;
    return Next::Body;
}

std::vector<std::uint8_t> EncodeIpConfig(const IpConfigRecord& c) {
    std::vector<std::uint8_t> out;
    Writer w(out);
    w.U8(c.dhcpEnabled ? 1 : 0);
    w.Text(c.dhcpServer);
    w.U32(static_cast<std::uint32_t>(c.addresses.size()));
    for (const auto& a : c.addresses) {
        w.Text(a.address);
        w.Text(a.mask);
    }
    w.U32(static_cast<std::uint32_t>(c.gateways.size()));
    for (const auto& g : c.gateways) w.Text(g);
    w.U32(static_cast<std::uint32_t>(c.dnsServers.size()));
    for (const auto& d : c.dnsServers) w.Text(d);
    w.Text(c.primaryWins);
    w.Text(c.secondaryWins);
    w.I64(c.leaseObtained);
    w.I64(c.leaseExpires);
    w.U8(c.autoconfigEnabled ? 1 : 0);
    w.U8(c.autoconfigActive ? 1 : 0);
    return out;
}

DecodeResult DecodeIpConfig(std::span<const std::uint8_t> bytes, IpConfigRecord& c) {
    c = IpConfigRecord{};
    Reader r(bytes);
    c.dhcpEnabled = r.Bool();
    r.Text(c.dhcpServer);
    const std::uint32_t addressCount = r.Count(kMaxIpListEntries);
    c.addresses.resize(addressCount);
    for (auto& a : c.addresses) {
        r.Text(a.address);
        r.Text(a.mask);
    }
    for (auto* list : {&c.gateways, &c.dnsServers}) {
        list->resize(r.Count(kMaxIpListEntries));
        for (auto& s : *list) r.Text(s);
    }
    r.Text(c.primaryWins);
    r.Text(c.secondaryWins);
    c.leaseObtained = r.I64();
    c.leaseExpires = r.I64();
    c.autoconfigEnabled = r.Bool();
    c.autoconfigActive = r.Bool();
    return r.Finish();
}

std::vector<std::uint8_t> EncodeNetworkCards(const std::vector<NetworkCardRecord>& cards) {
    std::vector<std::uint8_t> out;
    Writer w(out);
    w.U32(static_cast<std::uint32_t>(cards.size()));
    for (const auto& card : cards) {
        w.Text(card.serviceName);
        w.Text(card.description);
    }
    return out;
}

DecodeResult DecodeNetworkCards(std::span<const std::uint8_t> bytes,
                                std::vector<NetworkCardRecord>& out) {
    out.clear();
    Reader r(bytes);
    out.resize(r.Count(kMaxNetworkCards));
    for (auto& card : out) {
        r.Text(card.serviceName);
        r.Text(card.description);
    }
    const DecodeResult result = r.Finish();
    if (result != DecodeResult::Ok) out.clear();
    return result;
}

}  // namespace tarvik::driverio
