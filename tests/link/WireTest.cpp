#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/OLog.h"
#include "link/Base64.h"
#include "link/Framing.h"
#include "link/MessageEnvelope.h"
#include "link/Payload.h"
#include "tests/support/TempFolder.h"

namespace {

Asio_Buffer bufferOf(const std::string& bytes) {
  Asio_Buffer buffer(static_cast<std::int32_t>(bytes.size()));
  std::memcpy(buffer.data(), bytes.data(), bytes.size());
  return buffer;
}

// "1" + Base64(json) + zero byte.
std::string payloadOf(const std::string& json) {
  std::string base64;
  base64Encode(json, base64);
  return "1" + base64 + std::string(1, '\0');
}

}  // namespace

TEST(Base64, EncodesWithPaddingToAMultipleOfFour) {
  const std::pair<std::string, std::string> cases[] = {
      {"f", "Zg=="},       {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {std::string("\xff\xfe\0", 3), "//4A"},
  };
  for (const auto& [bytes, text] : cases) {
    std::string encoded;
    EXPECT_TRUE(base64Encode(bytes, encoded));
    EXPECT_EQ(encoded, text);
    std::string decoded;
    EXPECT_TRUE(base64Decode(text, decoded)) << text;
    EXPECT_EQ(decoded, bytes);
  }
  std::string encoded = "stale";
  EXPECT_FALSE(base64Encode("", encoded)) << "empty input gives an empty text: failure";
  EXPECT_TRUE(encoded.empty());
}

TEST(Base64, DecodingIsStrict) {
  struct Case {
    const char* text;
    bool ok;
  };
  const Case cases[] = {
      {"", true},          // zero bytes
      {"Zm9v", true},
      {"Zg==", true},
      {"Zm8=", true},
      {"Zg=", false},      // not a multiple of 4
      {"Zm9", false},      // below 4
      {"Zm9vY", false},
      {"Zm9v\nYmFy", false},  // line break
      {"Zm9v YmE=", false},   // space
      {"Zm=v", false},     // padding inside
      {"Z===", false},     // three padding characters
      {"====", false},
      {"Zm9-", false},     // URL-safe alphabet is not ours
      {"Zm9_", false},
  };
  for (const auto& c : cases) {
    const std::string_view text(c.text);
    std::string bytes = "stale";
    EXPECT_EQ(base64Decode(text, bytes), c.ok) << '"' << c.text << '"';
    if (!c.ok) {
      EXPECT_TRUE(bytes.empty());
    }
  }
  std::string bytes;
  EXPECT_FALSE(base64Decode(std::string_view("Zm9v\0Zm9", 8), bytes)) << "a zero byte is outside the alphabet";
}

TEST(MessageEnvelope, EncodesCompactSortedJsonWithStringParams) {
  MessageEnvelope envelope;
  envelope.msgType = 16;
  envelope.params["userName"] = "张三";
  envelope.params["a"] = "x\"y";
  envelope.params["Z"] = "";
  std::string json;
  ASSERT_TRUE(encodeEnvelope(envelope, json));
  EXPECT_EQ(json,
            "{\"TimeSep\":0,\"appId\":1,\"clientType\":2,\"msgType\":16,"
            "\"params\":{\"Z\":\"\",\"a\":\"x\\\"y\",\"userName\":\"\\u5f20\\u4e09\"},\"version\":1}\n");

  MessageEnvelope decoded;
  ASSERT_TRUE(decodeEnvelope(json, decoded));
  EXPECT_EQ(decoded.params, envelope.params) << "texts come back unchanged, UTF-8 included";
  EXPECT_EQ(decoded.msgType, 16);
}

TEST(MessageEnvelope, DecodesMissingMembersAsZeroAndScalarParamsAsText) {
  struct Case {
    const char* json;
    bool ok;
    std::int32_t clientType;
    std::map<std::string, std::string> params;
  };
  const Case cases[] = {
      {R"({"clientType":2,"msgType":3,"params":{"n":5,"b":true,"f":false,"z":null,"s":"t"}})", true, 2,
       {{"n", "5"}, {"b", "true"}, {"f", "false"}, {"z", ""}, {"s", "t"}}},
      {R"({"clientType":2,"params":{"r":1.5,"neg":-7}})", true, 2, {{"r", "1.5"}, {"neg", "-7"}}},
      {R"({"msgType":3})", true, 0, {}},                           // no clientType, no params
      {R"({"clientType":2,"params":{"":"dropped","k":"v"}})", true, 2, {{"k", "v"}}},
      {"/* note */ {\"clientType\":2} // trailing", true, 2, {}},  // comments allowed
      {R"({"clientType":2,"params":{"o":{"x":"1"}}})", false, 0, {}},  // nested object
      {R"({"clientType":2,"params":{"a":[1]}})", false, 0, {}},      // array
      {R"({"clientType":2,"params":7})", false, 0, {}},              // params not an object
      {R"({"clientType":"2"})", false, 0, {}},                       // not a number
      {R"({"msgType":99999999999})", false, 0, {}},                   // beyond 32 bits
      {R"([1,2])", false, 0, {}},
      {R"({"clientType":2,)", false, 0, {}},
      {"", false, 0, {}},
  };
  for (const auto& c : cases) {
    MessageEnvelope envelope;
    EXPECT_EQ(decodeEnvelope(c.json, envelope), c.ok) << c.json;
    if (!c.ok) continue;
    EXPECT_EQ(envelope.clientType, c.clientType) << c.json;
    EXPECT_EQ(envelope.params, c.params) << c.json;
    EXPECT_EQ(envelope.version, 0) << "a missing member reads as 0";
  }
}

TEST(Payload, FrameHoldsTypeByteBase64AndTerminator) {
  for (const std::string& value : std::vector<std::string>{"", "a", "ab", "abc", std::string(1000, 'q')}) {
    MessageEnvelope envelope;
    envelope.msgType = 2;
    envelope.params["userName"] = value;
    std::string json;
    ASSERT_TRUE(encodeEnvelope(envelope, json));
    std::string base64;
    ASSERT_TRUE(base64Encode(json, base64));

    Asio_Buffer frameBuffer;
    ASSERT_TRUE(buildFrame(envelope, frameBuffer));
    ASSERT_EQ(frameBuffer.size(), static_cast<std::int32_t>(base64.size()) + 6);
    EXPECT_EQ(frame::readLength(frameBuffer.data()), static_cast<std::int32_t>(base64.size()) + 2);
    EXPECT_EQ(frameBuffer.data()[4], '1');
    EXPECT_EQ(std::string(reinterpret_cast<char*>(frameBuffer.data()) + 5, base64.size()), base64);
    EXPECT_EQ(frameBuffer.data()[frameBuffer.size() - 1], 0);

    Asio_Buffer payloadBuffer;
    ASSERT_TRUE(buildPayload(envelope, payloadBuffer));
    ASSERT_EQ(payloadBuffer.size() + 4, frameBuffer.size());
    EXPECT_EQ(std::memcmp(payloadBuffer.data(), frameBuffer.data() + 4, payloadBuffer.size()), 0);

    MessageEnvelope back;
    ASSERT_TRUE(parsePayload(payloadBuffer, back));
    EXPECT_EQ(back.params, envelope.params);
    EXPECT_EQ(back.clientType, 2);
    EXPECT_EQ(back.version, 1);
  }
}

TEST(Payload, RefusesToBuildAFrameBeyondTheReceiveLimit) {
  MessageEnvelope envelope;
  envelope.params["big"] = std::string(400000, 'x');  // about 533 000 Base64 characters
  Asio_Buffer buffer;
  EXPECT_FALSE(buildFrame(envelope, buffer));
  EXPECT_FALSE(buildPayload(envelope, buffer));
  EXPECT_EQ(buffer.size(), 0);
}

TEST(Payload, DropsMalformedBodies) {
  const std::string good = R"({"clientType":2,"msgType":14,"params":{"nodeId":"7","active":"1"}})";
  std::string badEnding = payloadOf(good);
  badEnding.back() = 'A';
  std::string base64WithBreak;
  base64Encode(good, base64WithBreak);
  base64WithBreak.insert(8, "\n");
  struct Case {
    const char* name;
    std::string body;
    bool ok;
  };
  const Case cases[] = {
      {"well formed", payloadOf(good), true},
      {"last byte not zero", badEnding, false},
      {"type byte 0", "0" + payloadOf(good).substr(1), false},
      {"type byte 2", "2" + payloadOf(good).substr(1), false},
      {"line break in Base64", "1" + base64WithBreak + std::string(1, '\0'), false},
      {"Base64 not a multiple of 4", "1Zm9" + std::string(1, '\0'), false},
      {"JSON malformed", payloadOf("{\"clientType\":"), false},
      {"nested param", payloadOf(R"({"params":{"x":{}}})"), false},
      {"empty Base64 decodes to empty JSON", std::string("1\0", 2), false},
      {"only a zero byte", std::string(1, '\0'), false},
      {"text ends at the first zero byte", payloadOf(good) + "garbage" + std::string(1, '\0'), true},
  };
  for (const auto& c : cases) {
    MessageEnvelope envelope;
    EXPECT_EQ(parsePayload(bufferOf(c.body), envelope), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(envelope.param("nodeId"), "7") << c.name;
    }
  }
  Asio_Buffer empty;
  MessageEnvelope envelope;
  EXPECT_FALSE(parsePayload(empty, envelope));
}

TEST(Payload, LogsTheDecodedJsonWithTheCallersLocation) {
  mc::test::TempFolder temp;
  OLog::install(std::make_unique<OLog>("wire.txt", temp.path()));
  const std::string json = R"({"clientType":2,"msgType":77})";
  MessageEnvelope envelope;
  const unsigned line = __LINE__ + 1;
  EXPECT_TRUE(parsePayload(bufferOf(payloadOf(json)), envelope));
  EXPECT_FALSE(parsePayload(bufferOf(payloadOf("{broken")), envelope)) << "logged, then dropped";
  EXPECT_FALSE(parsePayload(bufferOf("1Zm9" + std::string(1, '\0')), envelope)) << "not logged";
  OLog::install(nullptr);

  const std::string log = mc::test::readFile(temp.path() + "/Log/wire.txt");
  EXPECT_NE(log.find("接收到 ENCODRTYPE_BASE64 命令 data:" + json), std::string::npos) << log;
  EXPECT_NE(log.find("WireTest.cpp:" + std::to_string(line)), std::string::npos) << log;
  EXPECT_NE(log.find("data:{broken"), std::string::npos);
  EXPECT_EQ(log.find("data:foo"), std::string::npos);
}

// ---- the frame reader ---------------------------------------------------

namespace {

struct ReaderFixture {
  std::shared_ptr<ClientBufferPool> pools = [] {
    auto p = ClientBufferPool::create();
    p->init();
    return p;
  }();
  FrameReader reader{[this] { return pools->getHeaderBuffer(); }, [this] { return pools->getBuffer(); }};
  std::vector<std::vector<std::uint8_t>> bodies;

  FrameReader::Result feed(const std::vector<std::uint8_t>& bytes, std::size_t chunk = SIZE_MAX) {
    FrameReader::Result result = FrameReader::Result::NeedMore;
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
      const std::size_t size = std::min(chunk, bytes.size() - at);
      result = reader.feed(bytes.data() + at, size, [this](BufferPtr body) {
        bodies.emplace_back(body->data(), body->data() + body->size());
      });
      if (result != FrameReader::Result::NeedMore) break;
    }
    return result;
  }
};

std::vector<std::uint8_t> header(std::int32_t length) {
  const auto v = static_cast<std::uint32_t>(length);
  return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

}  // namespace

TEST(FrameReader, AcceptsLengthsFromFourTo512000Only) {
  struct Case {
    std::int32_t length;
    bool accepted;
  };
  const Case cases[] = {{3, false}, {4, true},    {5, true},       {512000, true},
                        {512001, false}, {0, false}, {-1, false}, {INT32_MIN, false}};
  for (const auto& c : cases) {
    ReaderFixture fixture;
    auto bytes = header(c.length);
    if (c.accepted)
      for (std::int32_t i = 0; i < c.length; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 7));
    const auto result = fixture.feed(bytes);
    if (c.accepted) {
      EXPECT_EQ(result, FrameReader::Result::NeedMore) << c.length;
      ASSERT_EQ(fixture.bodies.size(), 1u) << c.length;
      ASSERT_EQ(fixture.bodies[0].size(), static_cast<std::size_t>(c.length));
      EXPECT_TRUE(std::equal(fixture.bodies[0].begin(), fixture.bodies[0].end(), bytes.begin() + 4));
    } else {
      EXPECT_EQ(result, FrameReader::Result::BadLength) << c.length;
      EXPECT_EQ(fixture.reader.lastLength(), c.length);
      EXPECT_TRUE(fixture.bodies.empty());
      std::uint8_t more = 0;
      EXPECT_EQ(fixture.reader.feed(&more, 1, nullptr), FrameReader::Result::BadLength) << "stays unusable";
    }
  }
}

TEST(FrameReader, ReassemblesFramesSplitAnywhere) {
  std::vector<std::uint8_t> stream;
  std::vector<std::vector<std::uint8_t>> expected;
  for (int n : {4, 9, 300, 4, 4096}) {
    std::vector<std::uint8_t> body(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) body[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n + i);
    const auto h = header(n);
    stream.insert(stream.end(), h.begin(), h.end());
    stream.insert(stream.end(), body.begin(), body.end());
    expected.push_back(body);
  }
  for (std::size_t chunk : {std::size_t(1), std::size_t(3), std::size_t(5), std::size_t(301), stream.size()}) {
    ReaderFixture fixture;
    EXPECT_EQ(fixture.feed(stream, chunk), FrameReader::Result::NeedMore);
    EXPECT_EQ(fixture.bodies, expected) << "chunk " << chunk;
    EXPECT_TRUE(fixture.reader.readingHeader());
  }
}

TEST(FrameReader, StopsWithoutBuffersAndStartsOverAfterReset) {
  ReaderFixture fixture;
  auto bytes = header(4);
  bytes.insert(bytes.end(), {1, 2, 3, 4});
  fixture.pools->release();
  EXPECT_EQ(fixture.feed(bytes), FrameReader::Result::NoBuffer);
  EXPECT_TRUE(fixture.bodies.empty());

  ReaderFixture other;
  auto partial = header(100);
  partial.push_back(1);
  EXPECT_EQ(other.feed(partial), FrameReader::Result::NeedMore);
  other.reader.reset();  // a new connection: the half frame is forgotten
  EXPECT_EQ(other.feed(bytes), FrameReader::Result::NeedMore);
  ASSERT_EQ(other.bodies.size(), 1u);
  EXPECT_EQ(other.bodies[0], (std::vector<std::uint8_t>{1, 2, 3, 4}));
}
