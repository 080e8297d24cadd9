<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform" xmlns:o="urn:out" xmlns:a="urn:alias">
<xsl:namespace-alias stylesheet-prefix="a" result-prefix="xsl"/>
<xsl:template match="/"><a:stylesheet version="1.0"><a:template match="/"><o:made/></a:template></a:stylesheet></xsl:template>
</xsl:stylesheet>
