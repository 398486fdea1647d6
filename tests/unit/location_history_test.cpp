// The stored history of stream addresses: reading up to the end marker, adding, writing.
#include "openlocation/LocationHistory.h"
#include "support/Rig.h"

#include <gtest/gtest.h>

using namespace quavix;
using Strings = std::vector<std::string>;

TEST(LocationHistory, ReadingStopsAtTheMarkerOrTheFirstGap)
{
    quavix::testing::MemoryOptionsStore store;
    EXPECT_TRUE(loadLocationHistory(store).empty());
    EXPECT_EQ(loadLastLocation(store), "");
    store.put("Locations", "LocationHistory0", "mms://a");
    store.put("Locations", "LocationHistory1", "");
    store.put("Locations", "LocationHistory2", "Last Item");
    store.put("Locations", "LocationHistory3", "left from a longer list");
    EXPECT_EQ(loadLocationHistory(store), (Strings{"mms://a", ""}));

    store.put("Locations", "LocationHistory1", "last item"); // the marker is case-sensitive
    store.put("Locations", "LocationHistory2", "http://b");
    store.values.erase({"Quavix", "Locations", "LocationHistory3"});
    store.put("Locations", "LocationHistory4", "beyond the gap");
    EXPECT_EQ(loadLocationHistory(store), (Strings{"mms://a", "last item", "http://b"}));
}

// A known address, the marker text and stale entries beyond the marker are the Open
// Location dialog's tests in the ui suite.
TEST(LocationHistory, AddingIsCaseSensitiveAndWritingEndsWithTheMarker)
{
    Strings h = {"a", "c"};
    addLocationIfNew(h, "C");
    EXPECT_EQ(h, (Strings{"C", "a", "c"}));

    quavix::testing::MemoryOptionsStore store;
    saveLocationHistory(store, {"x", "y"});
    EXPECT_EQ(store.value("Locations", "LocationHistory2"), "Last Item");
    saveLocationHistory(store, {});
    EXPECT_EQ(store.value("Locations", "LocationHistory0"), "Last Item");
}
