// The stored history of stream addresses: reading up to the end marker, adding, writing.
#include "fakes/PlayerWindow.h"
#include "openlocation/LocationHistory.h"

#include <gtest/gtest.h>

using namespace quavix;
using Strings = std::vector<std::string>;

namespace {
void put(fakes::MemoryOptionsStore& store, const std::string& key, const std::string& value)
{
    store.values[{"Quavix", "Locations", key}] = value;
}
} // namespace

TEST(LocationHistory, ReadingStopsAtTheMarkerOrTheFirstGap)
{
    fakes::MemoryOptionsStore store;
    EXPECT_TRUE(loadLocationHistory(store).empty());
    EXPECT_EQ(loadLastLocation(store), "");

    put(store, "LocationHistory0", "mms://a");
    put(store, "LocationHistory1", "");
    put(store, "LocationHistory2", "Last Item");
    put(store, "LocationHistory3", "left from a longer list");
    EXPECT_EQ(loadLocationHistory(store), (Strings{"mms://a", ""}));

    put(store, "LocationHistory1", "last item"); // the marker is case-sensitive
    put(store, "LocationHistory2", "http://b");
    store.values.erase({"Quavix", "Locations", "LocationHistory3"});
    put(store, "LocationHistory4", "beyond the gap");
    EXPECT_EQ(loadLocationHistory(store), (Strings{"mms://a", "last item", "http://b"}));
}

TEST(LocationHistory, AddingPutsNewAddressesOnTopOnly)
{
    Strings h = {"b", "c"};
    addLocationIfNew(h, "a");
    EXPECT_EQ(h, (Strings{"a", "b", "c"}));
    addLocationIfNew(h, "c");
    EXPECT_EQ(h, (Strings{"a", "b", "c"}));
    addLocationIfNew(h, "C");
    EXPECT_EQ(h, (Strings{"C", "a", "b", "c"}));
    addLocationIfNew(h, "Last Item");
    EXPECT_EQ(h.size(), 4u);
}

TEST(LocationHistory, WritingEndsWithTheMarkerAndRoundTrips)
{
    fakes::MemoryOptionsStore store;
    put(store, "LocationHistory3", "stale");
    saveLocationHistory(store, {"x", "y"});
    EXPECT_EQ(store.value("Locations", "LocationHistory0"), "x");
    EXPECT_EQ(store.value("Locations", "LocationHistory1"), "y");
    EXPECT_EQ(store.value("Locations", "LocationHistory2"), "Last Item");
    EXPECT_EQ(store.value("Locations", "LocationHistory3"), "stale") << "never removed";
    EXPECT_EQ(loadLocationHistory(store), (Strings{"x", "y"}));

    saveLocationHistory(store, {});
    EXPECT_EQ(store.value("Locations", "LocationHistory0"), "Last Item");
    EXPECT_TRUE(loadLocationHistory(store).empty());
}
