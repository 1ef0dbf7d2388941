// The save entry points live here.
