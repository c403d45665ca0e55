// UTF-16 and compressed text, and Windows code pages through iconv.
#include "db/jet/format/text_codec.h"

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>

namespace jet {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Collects UTF-16 code units and writes their UTF-8 form, pairing surrogates.
class Utf16ToUtf8 {
  public:
    explicit Utf16ToUtf8(std::string& out) : out_(out) {}
    void unit(char16_t u) {
        if (pendingHigh_) {
            if (u >= 0xDC00 && u <= 0xDFFF) {
                const char32_t cp = 0x10000 +
                                    ((static_cast<char32_t>(pendingHigh_) - 0xD800) << 10) +
                                    (static_cast<char32_t>(u) - 0xDC00);
                pendingHigh_ = 0;
                appendUtf8(out_, cp);
                return;
            }
            pendingHigh_ = 0;
            appendUtf8(out_, kReplacement);
        }
        if (u >= 0xD800 && u <= 0xDBFF) {
            pendingHigh_ = u;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            appendUtf8(out_, kReplacement);
        } else if (u < 0x80) {
            out_.push_back(static_cast<char>(u));
        } else {
            appendUtf8(out_, u);
        }
    }
    void finish() {
        if (pendingHigh_) appendUtf8(out_, kReplacement);
        pendingHigh_ = 0;
    }

  private:
    std::string& out_;
    char16_t pendingHigh_ = 0;
};

struct IconvCloser {
    void operator()(iconv_t* cd) const {
        iconv_close(*cd);
        delete cd;
    }
};

// Converts with iconv; returns false when the converter cannot be opened or the input is not
// valid in the source encoding.
bool convert(const std::string& from, const std::string& to, std::string_view in,
             std::string& out) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::unique_ptr<iconv_t, IconvCloser> guard(new iconv_t(cd));
    std::string buf(in.size() * 4 + 16, '\0');
    char* inp = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outp = buf.data();
    std::size_t outLeft = buf.size();
    if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) return false;
    out.assign(buf.data(), buf.size() - outLeft);
    return true;
}

bool isDoubleByte(std::uint16_t number) {
    return number == 932 || number == 936 || number == 949 || number == 950 || number == 1361;
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void appendUtf16le(std::string& out, ByteSpan bytes) {
    const std::size_t units = bytes.size() / 2;
    out.reserve(out.size() + units);
    // Written through a small buffer on the stack, appended when it is nearly full.
    char buf[1024];
    char* p = buf;
    const std::uint8_t* in = bytes.data();
    std::size_t i = 0;
    while (i < units) {
        if (p > buf + sizeof buf - 16) {
            out.append(buf, static_cast<std::size_t>(p - buf));
            p = buf;
        }
        // Most text is ASCII: eight units whose high bytes are zero and low bytes below 0x80
        // are eight characters of one byte each.
#if defined(__SSE2__)
        // Sixteen at a time while the text goes on being ASCII.
        if (i + 16 <= units) {
            const __m128i mask = _mm_set1_epi16(static_cast<short>(0xFF80));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i + 16));
            const __m128i high = _mm_and_si128(_mm_or_si128(a, b), mask);
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(high, _mm_setzero_si128())) == 0xFFFF) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(a, b));
                p += 16;
                i += 16;
                continue;
            }
        }
#endif
        if (i + 8 <= units) {
#if defined(__SSE2__)
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
            const __m128i high = _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80)));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(high, _mm_setzero_si128())) == 0xFFFF) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(v, v));
#else
            unsigned high = 0;
            for (std::size_t k = 0; k < 16; k += 2)
                high |= in[2 * i + k + 1] | (in[2 * i + k] & 0x80u);
            if (high == 0) {
                for (int k = 0; k < 8; ++k)
                    p[k] = static_cast<char>(in[2 * i + 2 * static_cast<std::size_t>(k)]);
#endif
                p += 8;
                i += 8;
                continue;
            }
        }
        const char32_t u = static_cast<char32_t>(in[2 * i] | (in[2 * i + 1] << 8));
        ++i;
        if (u < 0x80) {
            *p++ = static_cast<char>(u);
        } else if (u < 0x800) {
            *p++ = static_cast<char>(0xC0 | (u >> 6));
            *p++ = static_cast<char>(0x80 | (u & 0x3F));
        } else if (u < 0xD800 || u > 0xDFFF) {
            *p++ = static_cast<char>(0xE0 | (u >> 12));
            *p++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (u & 0x3F));
        } else {
            // A high surrogate followed by a low one is one character; any other surrogate
            // is U+FFFD, and the unit after a lone high surrogate is read on its own.
            char32_t cp = kReplacement;
            if (u <= 0xDBFF && i < units) {
                const char32_t low = static_cast<char32_t>(in[2 * i] | (in[2 * i + 1] << 8));
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
            if (cp < 0x10000) {
                *p++ = static_cast<char>(0xE0 | (cp >> 12));
                *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                *p++ = static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                *p++ = static_cast<char>(0xF0 | (cp >> 18));
                *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                *p++ = static_cast<char>(0x80 | (cp & 0x3F));
            }
        }
    }
    out.append(buf, static_cast<std::size_t>(p - buf));
}

std::string decodeUnicodeText(ByteSpan bytes) {
    std::string out;
    appendUnicodeText(out, bytes);
    return out;
}

void appendUnicodeText(std::string& out, ByteSpan bytes) {
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
        appendUtf16le(out, bytes);
        return;
    }
    out.reserve(out.size() + bytes.size());
    Utf16ToUtf8 conv(out);
    bool oneByte = true;
    std::size_t i = 2;
    while (i < bytes.size()) {
        if (bytes[i] == 0x00) {
            oneByte = !oneByte;
            ++i;
            continue;
        }
        if (oneByte) {
            conv.unit(bytes[i]);
            ++i;
        } else {
            if (i + 1 >= bytes.size()) break;  // a lone trailing byte holds no character
            conv.unit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
            i += 2;
        }
    }
    conv.finish();
}

std::u32string decodeUtf8(std::string_view s) {
    std::u32string out;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra;
        char32_t cp;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + static_cast<std::size_t>(k) >= s.size()) {
                ok = false;
                break;
            }
            const auto cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((cc & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::size_t invalidUtf8At(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra;
        char32_t cp, least;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, cp = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F, least = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, cp = c & 0x07, least = 0x10000;
        } else {
            return i;
        }
        if (s.size() - i <= extra) return i;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return i;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
        i += extra + 1;
    }
    return std::string_view::npos;
}

std::vector<std::uint8_t> encodeUtf16le(std::string_view utf8) {
    std::vector<std::uint8_t> out;
    out.reserve(utf8.size() * 2);
    bool ascii = true;
    for (char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        out.resize(utf8.size() * 2);
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            out[2 * i] = static_cast<std::uint8_t>(utf8[i]);
            out[2 * i + 1] = 0;
        }
        return out;
    }
    for (char32_t cp : decodeUtf8(utf8)) {
        auto put = [&](char32_t u) {
            out.push_back(static_cast<std::uint8_t>(u & 0xFF));
            out.push_back(static_cast<std::uint8_t>((u >> 8) & 0xFF));
        };
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

// ---- CodePage ----

CodePage::CodePage(std::uint16_t number) : number_(number) {
    iconvName_ = "CP" + std::to_string(number);
    std::string probe;
    if (!convert(iconvName_, "UTF-32LE", "A", probe)) {
        number_ = 1252;
        iconvName_ = "CP1252";
    }
    multiByte_ = isDoubleByte(number_);
    for (unsigned b = 0; b < 256; ++b) {
        table_[b] = b;  // bytes the code page leaves undefined keep their own value
        if (b < 0x80 || multiByte_) continue;
        const char in = static_cast<char>(b);
        std::string out;
        if (convert(iconvName_, "UTF-32LE", std::string_view(&in, 1), out) && out.size() == 4)
            table_[b] = static_cast<char32_t>(static_cast<unsigned char>(out[0]) |
                                              (static_cast<unsigned char>(out[1]) << 8) |
                                              (static_cast<unsigned char>(out[2]) << 16) |
                                              (static_cast<unsigned char>(out[3]) << 24));
    }
}

const CodePage& CodePage::get(std::uint16_t number) {
    static std::mutex mutex;
    static std::map<std::uint16_t, std::unique_ptr<CodePage>> pages;
    std::lock_guard<std::mutex> lock(mutex);
    if (number == 0) number = 1252;
    auto it = pages.find(number);
    if (it == pages.end())
        it = pages.emplace(number, std::unique_ptr<CodePage>(new CodePage(number))).first;
    return *it->second;
}

void CodePage::append(std::string& out, ByteSpan bytes) const {
    if (multiByte_) {
        std::string converted;
        const std::string_view in(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (convert(iconvName_, "UTF-8", in, converted)) {
            out += converted;
            return;
        }
        // Not valid in the code page: fall through to byte-by-byte, which never fails.
    }
    for (std::uint8_t b : bytes) {
        if (b < 0x80)
            out.push_back(static_cast<char>(b));
        else
            appendUtf8(out, table_[b]);
    }
}

std::vector<std::uint8_t> CodePage::encode(std::string_view utf8) const {
    std::vector<std::uint8_t> out;
    if (multiByte_) {
        std::string converted;
        if (convert("UTF-8", iconvName_, utf8, converted)) {
            out.assign(converted.begin(), converted.end());
            return out;
        }
    }
    for (char32_t cp : decodeUtf8(utf8)) {
        if (cp < 0x80) {
            out.push_back(static_cast<std::uint8_t>(cp));
            continue;
        }
        std::uint8_t byte = '?';
        for (unsigned b = 0x80; b < 256; ++b)
            if (table_[b] == cp) {
                byte = static_cast<std::uint8_t>(b);
                break;
            }
        out.push_back(byte);
    }
    return out;
}

std::size_t utf16Length(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) ++n;  // a lead byte: one character
        if ((c & 0xF8) == 0xF0) ++n;  // four-byte sequences are two code units
    }
    return n;
}

bool asciiEqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace jet
