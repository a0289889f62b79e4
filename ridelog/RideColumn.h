#pragma once

// The columns of the ride log, in the order of its file, its table and
// every page or file made from it. Row 0 holds their headings.
namespace RideColumn {
enum : int {
    Date,       // "Datum": the short date format of the locale
    Name,       // "Název": the route's name
    Course,     // "Průběh trasy": the waypoints, " - " between them
    Km,         // "Km": a number
    Time,       // "Čas": "H:MM"
    Average,    // "km/h": a number
    Difficulty, // "1-5"
    Count,      // the columns every ride log has
    // "Kolo": the name of the ride's bike. A log gets this eighth column
    // when a ride is first given a bike; until then it has seven.
    Bike = Count,
    CountWithBike,
    // "Záznam": where the kept copy of an imported ride's file is, relative
    // to the folder of kept files ("2025/2025-06-01-0830-1a2b3c4d.fit.gz",
    // "#2" after it for the second ride of a file). A log gets this ninth
    // column when the first ride with a kept file is imported; the rider
    // never sees it (not in the table, the page or the CSV).
    KeptFile = CountWithBike,
    CountWithKeptFile
};
} // namespace RideColumn
