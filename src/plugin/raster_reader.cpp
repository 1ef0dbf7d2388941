// The read entry points live here.
