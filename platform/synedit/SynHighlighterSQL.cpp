#include "SynHighlighterSQL.h"

namespace {

// PostgreSQL 15's words. Multi-word types appear by their words.
const char* const kPgKeys =
    "abort,absolute,access,action,add,admin,after,aggregate,all,also,alter,always,analyse,analyze,"
    "and,any,array,as,asc,assertion,assignment,asymmetric,at,attach,attribute,authorization,"
    "backward,before,begin,between,both,by,cache,call,called,cascade,cascaded,case,cast,catalog,"
    "chain,characteristics,check,checkpoint,class,close,cluster,collate,collation,column,columns,"
    "comment,comments,commit,committed,compression,concurrently,configuration,conflict,connection,"
    "constraint,constraints,content,continue,conversion,copy,cost,create,cross,csv,cube,current,"
    "current_catalog,current_date,current_role,current_schema,current_time,current_timestamp,"
    "current_user,cursor,cycle,data,database,day,deallocate,declare,default,defaults,deferrable,"
    "deferred,definer,delete,delimiter,delimiters,depends,depth,desc,detach,dictionary,disable,"
    "discard,distinct,do,document,domain,drop,each,else,enable,encoding,encrypted,end,enum,escape,"
    "event,except,exclude,excluding,exclusive,execute,exists,explain,expression,extension,"
    "external,extract,false,family,fetch,filter,finalize,first,following,for,force,foreign,"
    "forward,freeze,from,full,function,functions,generated,global,grant,granted,group,grouping,"
    "groups,handler,having,header,hold,hour,identity,if,ilike,immediate,immutable,implicit,import,"
    "in,include,including,increment,index,indexes,inherit,inherits,initially,inline,inner,inout,"
    "input,insensitive,insert,instead,intersect,into,invoker,is,isnull,isolation,join,key,label,"
    "language,large,last,lateral,leading,leakproof,left,level,like,limit,listen,load,local,"
    "localtime,localtimestamp,location,lock,locked,logged,mapping,match,matched,materialized,"
    "maxvalue,merge,method,minute,minvalue,mode,month,move,name,names,natural,new,next,nfc,nfd,"
    "nfkc,nfkd,no,none,normalize,normalized,not,nothing,notify,notnull,nowait,null,nulls,object,"
    "of,off,offset,oids,old,on,only,operator,option,options,or,order,ordinality,others,out,outer,"
    "over,overlaps,overriding,owned,owner,parallel,parser,partial,partition,passing,password,"
    "placing,plans,policy,preceding,prepare,prepared,preserve,primary,prior,privileges,procedural,"
    "procedure,procedures,program,publication,quote,range,read,reassign,recheck,recursive,ref,"
    "references,referencing,refresh,reindex,relative,release,rename,repeatable,replace,replica,"
    "reset,restart,restrict,return,returning,returns,revoke,right,role,rollback,rollup,routine,"
    "routines,row,rows,rule,savepoint,schema,schemas,scroll,search,second,security,select,"
    "sequence,sequences,serializable,server,session,session_user,set,sets,share,show,similar,"
    "simple,skip,snapshot,some,sql,stable,standalone,start,statement,statistics,stdin,stdout,"
    "storage,stored,strict,strip,subscription,support,symmetric,sysid,system,table,tables,"
    "tablesample,tablespace,temp,template,temporary,then,ties,to,trailing,transaction,transform,"
    "treat,trigger,true,truncate,trusted,type,types,uescape,unbounded,uncommitted,unencrypted,"
    "union,unique,unknown,unlisten,unlogged,until,update,user,using,vacuum,valid,validate,"
    "validator,value,values,variadic,verbose,version,view,views,volatile,when,where,whitespace,"
    "window,with,within,without,work,wrapper,write,xmlattributes,xmlconcat,xmlelement,xmlexists,"
    "xmlforest,xmlnamespaces,xmlparse,xmlpi,xmlroot,xmlserialize,xmltable,year,yes,zone";
const char* const kPgTypes =
    "bigint,bigserial,bit,bool,boolean,box,bpchar,bytea,char,character,cidr,circle,date,decimal,"
    "double,float,float4,float8,inet,int,int2,int4,int8,integer,interval,json,jsonb,line,lseg,"
    "macaddr,macaddr8,money,numeric,oid,path,pg_lsn,point,polygon,precision,real,record,regclass,"
    "regproc,regtype,serial,serial2,serial4,serial8,smallint,smallserial,text,time,timestamp,"
    "timestamptz,timetz,tsquery,tsvector,txid_snapshot,uuid,varbit,varchar,varying,void,xml";
const char* const kPgFunctions =
    "abs,age,array_agg,array_append,array_length,array_position,array_remove,array_to_string,"
    "avg,bool_and,bool_or,btrim,cbrt,ceil,ceiling,char_length,character_length,chr,clock_timestamp,"
    "coalesce,concat,concat_ws,count,date_part,date_trunc,decode,degrees,dense_rank,div,encode,"
    "every,exp,first_value,floor,format,generate_series,greatest,initcap,isfinite,json_agg,"
    "json_build_object,jsonb_agg,jsonb_build_object,jsonb_set,justify_days,lag,last_value,lead,"
    "least,left,length,ln,log,lower,lpad,ltrim,make_date,make_interval,max,md5,min,mod,now,"
    "nth_value,ntile,nullif,octet_length,overlay,percent_rank,pi,position,power,quote_ident,"
    "quote_literal,quote_nullable,random,rank,regexp_match,regexp_matches,regexp_replace,"
    "regexp_split_to_array,repeat,replace,reverse,right,round,row_number,row_to_json,rpad,rtrim,"
    "sign,split_part,sqrt,statement_timestamp,string_agg,string_to_array,strpos,substr,substring,"
    "sum,to_char,to_date,to_json,to_number,to_timestamp,translate,trim,trunc,unnest,upper,"
    "width_bucket";
const char* const kPgExceptions =
    "assert_failure,check_violation,data_exception,division_by_zero,exclusion_violation,"
    "foreign_key_violation,insufficient_privilege,invalid_text_representation,lock_not_available,"
    "no_data_found,not_null_violation,null_value_not_allowed,numeric_value_out_of_range,others,"
    "query_canceled,raise_exception,restrict_violation,serialization_failure,"
    "string_data_right_truncation,too_many_rows,undefined_column,undefined_table,unique_violation";

QByteArray Words(const QString& commaList) {
    return commaList.toLower().toUtf8().replace(',', ' ');
}

} // namespace

TSynSQLSyn::TSynSQLSyn(QObject* parent) : QsciLexerSQL(parent) {
    SetSQLDialect(sqlPostgres);
}

void TSynSQLSyn::SetSQLDialect(TSQLDialect dialect) {
    m_dialect = dialect;
    m_keys = Words(KeyWords(tkKey));
    m_types = Words(KeyWords(tkDatatype));
    m_functions = Words(KeyWords(tkFunction));
    m_exceptions = Words(KeyWords(tkException));
}

void TSynSQLSyn::SetTableNames(const QStringList& names) {
    m_tables = names;
    m_tableWords = Words(names.join(QLatin1Char(',')));
}

QString TSynSQLSyn::KeyWords(TtkTokenKind kind) const {
    if (m_dialect != sqlPostgres)
        return kind == tkKey ? QString::fromLatin1(kPgKeys) : QString();
    switch (kind) {
    case tkKey:
        return QString::fromLatin1(kPgKeys);
    case tkDatatype:
        return QString::fromLatin1(kPgTypes);
    case tkFunction:
        return QString::fromLatin1(kPgFunctions);
    case tkException:
        return QString::fromLatin1(kPgExceptions);
    }
    return {};
}

void TSynSQLSyn::SetCommentColor(const QColor& c) {
    for (int s : {Comment, CommentLine, CommentDoc, CommentLineHash})
        setColor(c, s);
}

void TSynSQLSyn::SetStringColor(const QColor& c) {
    setColor(c, SingleQuotedString);
    setColor(c, DoubleQuotedString);
}

const char* TSynSQLSyn::keywords(int set) const {
    switch (set) {
    case 1:
        return m_keys.constData();
    case 5:
        return m_types.constData();
    case 6:
        return m_functions.constData();
    case 7:
        return m_exceptions.constData();
    case 8:
        return m_tableWords.constData();
    default:
        return nullptr;
    }
}

QString TSynSQLSyn::description(int style) const {
    switch (style) {
    case KeywordSet5:
        return QStringLiteral("Datentyp");
    case KeywordSet6:
        return QStringLiteral("Funktion");
    case KeywordSet7:
        return QStringLiteral("Ausnahme");
    case KeywordSet8:
        return QStringLiteral("Tabelle");
    default:
        return QsciLexerSQL::description(style);
    }
}
