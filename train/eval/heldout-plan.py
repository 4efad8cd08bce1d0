# Plan for ../shared/bench/make-corpus.sh: the development corpus's recipe (same noises, SNRs,
# 8 kHz copies, one long file) spoken by voices the network never trained on (train/make_pool.py
# holds them out). Build: ../shared/bench/make-corpus.sh /tmp/corpus-heldout 1 heldout train/eval/heldout-plan.py
SET_IDS["heldout"] = 101
NOISES["heldout"] = ["white", "pink", "babble", "hum", "fan"]
N_MIX["heldout"] = 40
FEST["dita"] = "czech_dita"
FEST["hymv"] = "hy_fi_mv_diphone"
PLAN["heldout"] = [
    ("espeak", "es", "en", 4), ("espeak", "pl", "en", 4), ("espeak", "pt", "en", 4),
    ("espeak", "sv", "en", 4), ("festival", "dita", "en", 8), ("festival", "hymv", "en", 8),
]
LONG["heldout"] = [(["dita", "hymv"], 20.0)]
RATE8K_EVERY["heldout"] = 10
PADS["heldout"] = PADS["dev"]
SENTENCES["heldout"] = SENTENCES["dev"]
