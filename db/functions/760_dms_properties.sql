-- The change log of documents: every insert, new revision, change of type or folder, lock,
-- unlock and delete leaves a row with the session's login and the time.
CREATE FUNCTION picndoku_log_write(p_pd_id integer, p_rev_id integer, p_type text, p_info text)
RETURNS void
LANGUAGE sql AS $$
    INSERT INTO picndoku_log (pdg_pd_id, pdg_rev_id, pdg_type, pdg_info, insert_by)
    VALUES (p_pd_id, p_rev_id, p_type, p_info, korvex_session_login())
$$;

CREATE FUNCTION picndoku_log_row() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP = 'INSERT' THEN
        -- A row joining the revision of an older row is a new revision of that document.
        IF EXISTS (SELECT 1 FROM picndoku p
                    WHERE p.pd_revision_id = NEW.pd_revision_id AND p.pd_id <> NEW.pd_id) THEN
            PERFORM picndoku_log_write(NEW.pd_id, NEW.pd_revision_id, 'Revision',
                                       coalesce(NEW.pd_origfilename, NEW.pd_dokumentfile));
        ELSE
            PERFORM picndoku_log_write(NEW.pd_id, NEW.pd_revision_id, 'Angelegt',
                                       coalesce(NEW.pd_origfilename, NEW.pd_dokumentfile,
                                                NEW.pd_descr));
        END IF;
        RETURN NEW;
    ELSIF TG_OP = 'DELETE' THEN
        PERFORM picndoku_log_write(OLD.pd_id, OLD.pd_revision_id, 'Gelöscht',
                                   coalesce(OLD.pd_origfilename, OLD.pd_dokumentfile, OLD.pd_descr));
        RETURN OLD;
    END IF;
    IF NEW.pd_doktype IS DISTINCT FROM OLD.pd_doktype THEN
        PERFORM picndoku_log_write(NEW.pd_id, NEW.pd_revision_id, 'Dokumenttyp',
                                   coalesce(OLD.pd_doktype, '') || ' -> ' ||
                                   coalesce(NEW.pd_doktype, ''));
    END IF;
    IF NEW.pd_parentnodeident IS DISTINCT FROM OLD.pd_parentnodeident THEN
        PERFORM picndoku_log_write(NEW.pd_id, NEW.pd_revision_id, 'Ordner',
                                   coalesce(OLD.pd_parentnodeident, '') || ' -> ' ||
                                   coalesce(NEW.pd_parentnodeident, ''));
    END IF;
    RETURN NEW;
END
$$;
CREATE TRIGGER picndoku_log_row AFTER INSERT OR UPDATE OR DELETE ON picndoku
    FOR EACH ROW EXECUTE FUNCTION picndoku_log_row();

-- A lock belongs to all revisions of a document; the log names the valid one.
CREATE FUNCTION picndoku_revision_log_row() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    kind text;
    info text;
BEGIN
    IF NEW.pdr_lock_user IS NOT DISTINCT FROM OLD.pdr_lock_user THEN
        RETURN NEW;
    ELSIF NEW.pdr_lock_user IS NULL THEN
        kind := 'Entsperrt';
        info := OLD.pdr_lock_user;
    ELSE
        kind := 'Gesperrt';
        info := NEW.pdr_lock_user;
    END IF;
    PERFORM picndoku_log_write(p.pd_id, p.pd_revision_id, kind, info)
       FROM picndoku p
      WHERE p.pd_revision_id = NEW.pdr_revision_id AND NOT p.pd_deletable;
    RETURN NEW;
END
$$;
CREATE TRIGGER picndoku_revision_log_row AFTER UPDATE OF pdr_lock_user ON picndoku_revision
    FOR EACH ROW EXECUTE FUNCTION picndoku_revision_log_row();
