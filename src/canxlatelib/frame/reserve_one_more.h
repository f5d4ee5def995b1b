#pragma once

namespace canxlate {

// Makes room for one more element with geometric growth, so that the
// push_back that follows cannot throw and the table or list it belongs to
// stays as it was when memory runs out. It starts at one element, as many
// messages have only one channel.
template <typename Vector>
void reserveOneMore(Vector& list) {
    if (list.size() == list.capacity()) list.reserve(list.empty() ? 1 : 2 * list.capacity());
}

}  // namespace canxlate
