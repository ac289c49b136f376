// placeholder, replaced by the facade work
