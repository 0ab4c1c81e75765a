// getstm: the next field as text, upper-cased, into a text of any length.
#pragma once

namespace klip {

template <std::size_t N> void getstm(Text<N>& S, int32_t& LN) {
    Text<80> st;
    getstr(st, LN);
    S.set(cvmaj(st.view(), N));
}

}  // namespace klip
