#include "PlayListOrder.h"

#include "platform/Clock.h"
#include "playlist/EntryText.h"
#include "playlist/PlayListFile.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <numeric>

namespace quavix {

namespace {

// Order-statistics over the positions 0..n-1 that are still present (a Fenwick tree), so
// that taking the k-th remaining entry costs O(log n) instead of shifting the rest.
class Remaining {
public:
    explicit Remaining(std::size_t n) : m_tree(n + 1, 0)
    {
        for (std::size_t i = 1; i <= n; ++i) {
            m_tree[i] += 1;
            if (std::size_t up = i + (i & (~i + 1)); up <= n)
                m_tree[up] += m_tree[i];
        }
        m_high = 1;
        while (m_high * 2 <= n)
            m_high *= 2;
    }
    // Removes and returns the position of the k-th (0-based) present one.
    std::size_t take(std::size_t k)
    {
        std::size_t pos = 0;
        std::size_t rest = k + 1;
        for (std::size_t step = m_high; step > 0; step /= 2) {
            if (pos + step < m_tree.size() && m_tree[pos + step] < rest) {
                pos += step;
                rest -= m_tree[pos];
            }
        }
        for (std::size_t i = pos + 1; i < m_tree.size(); i += i & (~i + 1))
            m_tree[i] -= 1;
        return pos;
    }

private:
    std::vector<std::size_t> m_tree;
    std::size_t m_high = 1;
};

} // namespace

void sortEntries(std::vector<std::string>& entries)
{
    const std::size_t n = entries.size();
    std::vector<std::string> keys;
    keys.reserve(n);
    for (const auto& e : entries)
        keys.push_back(entrySortKey(e));
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&keys](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
    std::vector<std::string> sorted;
    sorted.reserve(n);
    for (std::uint32_t i : order)
        sorted.push_back(std::move(entries[i]));
    entries = std::move(sorted);
}

void shuffleEntries(std::vector<std::string>& entries, Random& random)
{
    sortEntries(entries);
    const std::size_t n = entries.size();
    Remaining remaining(n);
    std::vector<std::string> drawn;
    drawn.reserve(n);
    for (std::size_t left = n; left > 0; --left) {
        double r = random.next();
        auto k = static_cast<std::size_t>(static_cast<double>(left) * r);
        if (!(r >= 0.0)) // also NaN
            k = 0;
        k = std::min(k, left - 1);
        drawn.push_back(std::move(entries[remaining.take(k)]));
    }
    entries = std::move(drawn);
}

void keepFlagged(std::vector<std::string>& entries, const std::vector<char>& flags, bool keep)
{
    std::size_t out = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        bool flagged = i < flags.size() && flags[i];
        if (flagged == keep) {
            if (out != i)
                entries[out] = std::move(entries[i]);
            ++out;
        }
    }
    entries.resize(out);
}

bool folderFiles(const std::string& folder, std::vector<std::string>& out)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
    if (ec)
        return false;
    std::vector<std::string> found;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            return false;
        std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.' || !fitsOnOneLine(name))
            continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        found.push_back(folder + name);
    }
    sortEntries(found);
    out.insert(out.end(), std::make_move_iterator(found.begin()),
               std::make_move_iterator(found.end()));
    return true;
}

} // namespace quavix
