-- Locks and check-outs of documents: the flags of a document that the lock menu reads.
-- pd_revision_flag: every take-back of an edited working copy makes a new revision.
-- pd_delayed_upload: the row waits for its bytes, which live only in the working copy of the user
-- who checked it out; releasing that check-out deletes the row.
ALTER TABLE picndoku
    ADD COLUMN pd_revision_flag  boolean NOT NULL DEFAULT false,
    ADD COLUMN pd_delayed_upload boolean NOT NULL DEFAULT false;
