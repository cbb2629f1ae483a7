#pragma once
// The component's request options as a set, and their WinINet request-flag values.

#include <cstdint>
#include <initializer_list>

namespace quorvel
{

// Member n of the set is bit n of TInternetFlags::bits().
enum TInternetFlag : unsigned {
    ifCacheIfNetFail,
    ifDontCache,
    ifHyperLink,
    ifIgnoreCertCnInvalid,
    ifIgnoreCertDateInvalid,
    ifIgnoreRedirectToHttp,
    ifIgnoreRedirectToHttps,
    ifKeepConnection,
    ifNeedFile,
    ifNoAuth,
    ifNoAutoRedirect,
    ifNoCacheWrite,
    ifNoCookies,
    ifNoUi,
    ifPragmaNoCache,
    ifReload,
    ifResynchronize,
};

constexpr unsigned internetFlagCount = 17;

class TInternetFlags
{
public:
    constexpr TInternetFlags() = default;
    constexpr TInternetFlags(std::initializer_list<TInternetFlag> members)
    {
        for (TInternetFlag member : members)
            m_bits |= bitOf(member);
    }

    // Bits above the last member are dropped, as a 3-byte set cannot hold them.
    static constexpr TInternetFlags fromBits(std::uint32_t bits)
    {
        TInternetFlags flags;
        flags.m_bits = bits & ((1u << internetFlagCount) - 1);
        return flags;
    }

    constexpr std::uint32_t bits() const { return m_bits; }
    constexpr bool contains(TInternetFlag member) const { return (m_bits & bitOf(member)) != 0; }
    constexpr bool empty() const { return m_bits == 0; }
    constexpr void include(TInternetFlag member) { m_bits |= bitOf(member); }
    constexpr void exclude(TInternetFlag member) { m_bits &= ~bitOf(member); }

    friend constexpr bool operator==(TInternetFlags, TInternetFlags) = default;

private:
    static constexpr std::uint32_t bitOf(TInternetFlag member) { return 1u << member; }

    std::uint32_t m_bits = 0;
};

// The WinINet request flag of one member.
std::uint32_t requestFlagOf(TInternetFlag member);

// The OR of the request flags of every member in the set; 0 for the empty set.
std::uint32_t requestFlagsOf(TInternetFlags flags);

} // namespace quorvel
