// placeholder, replaced by the simulator work
