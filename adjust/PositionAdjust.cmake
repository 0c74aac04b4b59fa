# PW sensor, pixel shift, first dot position and cut position adjustment: the
# unit tests are in integration/ (they compare the virtual printer's
# transcripts and pages); the feature itself is part of svc_adjust.
